#pragma once

#include <functional>
#include <string>

#include "link/PasswordPrompt.h"
#include "link/SerialLink.h"

namespace lm {

enum class SerialLoginResult {
    LoggedIn,           // the console shows a shell
    WriteFailed,        // "Serial port transmission error!"
    NoDevice,           // nothing answered, not even after leaving a stuck editor
    PasswordCancelled,  // "Invalid password!"
    LoginProblems,      // "Login problems!"
};

// Wakes the console on an open port, leaves an editor left open on it, and logs in as admin,
// asking through prompt (null: as if cancelled) when the password is refused. currentPassword
// starts as defaultPassword and is reset to it when the login fails. status, when given, is told
// what the console is being checked for.
SerialLoginResult serialConsoleLogin(SerialLink& serial, std::string& currentPassword,
                                     const std::string& defaultPassword, PasswordPrompt* prompt,
                                     const std::function<void(const std::string&)>& status = {});

}  // namespace lm
