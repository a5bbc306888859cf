#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/link/Session.h"
#include "core/ops/OperationState.h"
#include "core/ops/WorkerChannel.h"

namespace lm {

// What the user gives an operation with a start button: the device address and its admin password.
struct DeviceLogin {
    std::string address;
    std::string password;
};

// How an operation ended, with the device's own words when it refused or failed a step.
struct OperationResult {
    Outcome outcome = Outcome::Failed;
    std::string deviceWords;
};

// The frame of an operation dialog with a start button: the common opening (wait for a running
// scan, the address and password checks, the telnet login with one retry), and the endings of
// success and failure. The operations' own steps run between opening and ending.
class WorkerTask {
public:
    // ui and state are shared with the window.
    WorkerTask(Session& session, std::shared_ptr<WorkerChannel> ui, std::shared_ptr<OperationState> state,
               PasswordPrompt* prompt, std::string deviceAddress, const std::atomic<bool>* scanInProgress);

    // The common opening with what the user gave: Ok when logged in and holding the session;
    // otherwise the failure has been reported and its outcome is returned. beforeLogin, when given,
    // runs after the address and password checks: a text it returns fails the opening before
    // anything goes to the device.
    Outcome open(const DeviceLogin& login, const std::function<std::string()>& beforeLogin = {});
    // The opening of a dialog that starts when opened (no fields to read): the session, then the
    // telnet login with one retry, with startPassword when given, else the session's password as
    // it stands. Ok when logged in; Failed when the link is busy (said in the status line);
    // otherwise NoAnswer or Refused, for the operation to word, with the result in lastLogin().
    Outcome openAsOpened(const std::optional<std::string>& startPassword);
    LoginResult lastLogin() const { return lastLogin_; }
    // Why openAsOpened() did not log in, for the status line: no connection, a prompt the user
    // cancelled, or a password refused with nobody to ask for another.
    const char* loginFailureText() const;
    // Whether this task holds the session's link: only then may it close it.
    bool holdsSession() const { return claim_.held(); }
    // Success: resets the password; unless closing, shows the final message box, then finishes.
    Outcome succeed(const std::string& text, const std::string& title);
    // Failure: beep, the message in the status line, the start button enabled again, password
    // reset. Returns outcome, for the worker to hand on.
    Outcome fail(const std::string& message, Outcome outcome);
    // Failure after the login: the telnet connection is closed without "quit", the password reset;
    // unless closing, a box with message (none when empty) and title, then the window finishes.
    Outcome abandon(const std::string& message, const std::string& title, Outcome outcome);
    void status(const std::string& text);

    Session& session() { return session_; }
    WorkerChannel* ui();  // null once the window is closing
    bool closing() const { return state_->closing; }
    const std::string& deviceAddress() const { return deviceAddress_; }

    // Runs work on a detached thread with running set, clearing it as the last act; false (and
    // running clear) when no thread could be started.
    static bool start(std::shared_ptr<OperationState> state, std::function<void()> work);

private:
    bool claimSession();
    // Logs in over telnet, once more when the first try fails, with password (when given) each time.
    LoginResult logInTwice(const std::optional<std::string>& password);

    Session& session_;
    std::shared_ptr<WorkerChannel> ui_;
    std::shared_ptr<OperationState> state_;
    PasswordPrompt* prompt_;
    std::string deviceAddress_;
    const std::atomic<bool>* scanInProgress_;
    Session::Claim claim_;  // the session, while this task talks to the device
    LoginResult lastLogin_ = LoginFailed;
};

}  // namespace lm
