#pragma once

#include <functional>
#include <string>

#include "core/link/PasswordPrompt.h"
#include "core/link/SerialLink.h"

namespace lm {

enum class SerialLoginResult {
    LoggedIn,           // the console shows a shell
    WriteFailed,        // "Serial port transmission error!"
    NoDevice,           // nothing answered, not even after leaving a stuck editor
    PasswordCancelled,  // "Invalid password!"
    LoginProblems,      // "Login problems!"
    Stopped,            // the watcher asked to stop between the waits
};

// What a caller may see of a console login, and how it stops one between its waits.
struct SerialLoginWatch {
    std::function<void(const std::string&)> status;
    std::function<bool()> stopRequested;
};

// Wakes the console on an open port, leaves an editor left open on it, and logs in as admin with
// currentPassword, asking through prompt (null: as if cancelled) when it is refused. A failed login
// resets currentPassword to defaultPassword. watch, when given, is told what the console is checked
// for and may stop the wake-up between its waits.
SerialLoginResult serialConsoleLogin(SerialLink& serial, std::string& currentPassword,
                                     const std::string& defaultPassword, PasswordPrompt* prompt,
                                     const SerialLoginWatch& watch = {});

// The words for the user. portName is "COM3"; specific is clear when every port was tried.
std::string serialLoginText(SerialLoginResult result, const std::string& portName, bool specific = true);
std::string serialOpenText(SerialLink::OpenError error);

// Leaves an editor that a console was left in, without saving: the escape key, a pause so that the
// editor takes it as a key of its own and not as the start of a sequence, then ":q!".
void leaveEditor(SerialLink& serial, const Timing& timing);

}  // namespace lm
