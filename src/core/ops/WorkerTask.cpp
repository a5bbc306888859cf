#include "core/ops/WorkerTask.h"

#include <system_error>
#include <thread>

#include "core/link/ShellInput.h"

namespace lm {

namespace {
constexpr int kScanWaitSteps = 60;
constexpr Milliseconds kScanWaitStep{100};
}  // namespace

WorkerTask::WorkerTask(Session& session, std::shared_ptr<WorkerChannel> ui,
                       std::shared_ptr<OperationState> state, PasswordPrompt* prompt,
                       std::string deviceAddress, const std::atomic<bool>* scanInProgress)
    : session_(session),
      ui_(std::move(ui)),
      state_(std::move(state)),
      prompt_(prompt),
      deviceAddress_(std::move(deviceAddress)),
      scanInProgress_(scanInProgress) {}

WorkerChannel* WorkerTask::ui() {
    return state_->closing ? nullptr : ui_.get();
}

void WorkerTask::status(const std::string& text) {
    if (auto* u = ui()) u->status(text);
}

Outcome WorkerTask::open(const DeviceLogin& login, const std::function<std::string()>& beforeLogin) {
    // A scan keeps the network busy; give it up to six seconds to end.
    for (int step = 0; step < kScanWaitSteps && scanInProgress_ && *scanInProgress_; ++step)
        session_.timing().pause(kScanWaitStep);

    // Once closing, there is nobody left to tell: end quietly.
    if (ui() == nullptr) return Outcome::Cancelled;
    if (login.address.empty() || login.address == "0.0.0.0")
        return fail("You must specify the IP address.", Outcome::Failed);
    const std::string& password = login.password;
    if (password.empty()) return fail("You must specify the administrator password.", Outcome::Failed);
    if (hasControlCharacter(password))
        return fail("The password must not hold control characters (line end, tab, escape).",
                    Outcome::Failed);
    if (beforeLogin) {
        if (const std::string problem = beforeLogin(); !problem.empty())
            return fail(problem, Outcome::Failed);
    }

    if (!claimSession()) return fail(Session::kBusyText, Outcome::Failed);

    status("Establishing Telnet session...");
    // A cancelled prompt resets the password to the default; the retry must not go ahead with a
    // password the user never gave.
    const LoginResult result = logInTwice(password);
    if (result == LoginOk) return Outcome::Ok;
    if (result == LoginFailed) return fail("This device does not respond!", Outcome::NoAnswer);
    return fail("Please enter the correct password.", Outcome::Refused);
}

Outcome WorkerTask::openAsOpened(const std::optional<std::string>& startPassword) {
    if (!claimSession()) {
        if (auto* u = ui()) u->beep();
        status(Session::kBusyText);
        return Outcome::Failed;
    }
    const LoginResult result = logInTwice(startPassword);
    if (result == LoginOk) return Outcome::Ok;
    return result == LoginFailed ? Outcome::NoAnswer : Outcome::Refused;
}

const char* WorkerTask::loginFailureText() const {
    if (lastLogin_ == LoginFailed) return "Unable to establish telnet session.";
    // Without a prompt the login gives up as if cancelled, but nobody did.
    if (lastLogin_ == LoginCancelled && prompt_ != nullptr) return "Telnet session canceled by user.";
    return "Unknown password.";
}

bool WorkerTask::claimSession() {
    // A window closed while its worker ran on may still hold the device: never two conversations.
    claim_ = session_.claim(session_.timing().scaled(Session::kClaimWait));
    return claim_.held();
}

LoginResult WorkerTask::logInTwice(const std::optional<std::string>& password) {
    session_.setConnectionIsNetwork(true);
    if (password) session_.setPassword(*password);
    LoginResult result = session_.loginNetwork(deviceAddress_, true, prompt_);
    if (result != LoginOk) {
        if (password) session_.setPassword(*password);
        result = session_.loginNetwork(deviceAddress_, true, prompt_);
    }
    // A password refused without a prompt leaves the connection open; nothing more goes over it.
    if (result != LoginOk) session_.telnet().close();
    lastLogin_ = result;
    return result;
}

Outcome WorkerTask::succeed(const std::string& text, const std::string& title) {
    session_.resetPassword();
    auto* u = ui();
    if (u == nullptr) return Outcome::Ok;
    u->showResult(text, title);
    if ((u = ui()) != nullptr) u->finish();
    return Outcome::Ok;
}

Outcome WorkerTask::abandon(const std::string& message, const std::string& title, Outcome outcome) {
    session_.telnet().close();
    session_.resetPassword();
    auto* u = ui();
    if (u == nullptr) return outcome;
    if (!message.empty()) u->ask({message, title, Question::Icon::Error, Choices::Ok});
    if ((u = ui()) != nullptr) u->finish();
    return outcome;
}

Outcome WorkerTask::fail(const std::string& message, Outcome outcome) {
    if (auto* u = ui()) u->beep();
    status(message);
    if (auto* u = ui()) u->allowStart(true);
    session_.resetPassword();
    return outcome;
}

bool WorkerTask::start(std::shared_ptr<OperationState> state, std::function<void()> work) {
    state->running = true;
    try {
        std::thread([state, work = std::move(work)]() mutable {
            try {
                work();
            } catch (...) {
                // A worker that failed unexpectedly must still let its window close.
            }
            // What the work holds goes first: once running is clear, the window may be gone.
            work = nullptr;
            state->running = false;
        }).detach();
    } catch (const std::system_error&) {
        state->running = false;  // no thread: nothing runs, and the window may close at once
        return false;
    }
    return true;
}

}  // namespace lm
