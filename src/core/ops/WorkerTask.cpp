#include "ops/WorkerTask.h"

#include <system_error>
#include <thread>

namespace lm {

namespace {
constexpr int kScanWaitSteps = 60;
constexpr Milliseconds kScanWaitStep{100};
}  // namespace

WorkerTask::WorkerTask(Session& session, std::shared_ptr<OperationUi> ui,
                       std::shared_ptr<OperationState> state, PasswordPrompt* prompt,
                       std::string deviceAddress, int startButton, const std::atomic<bool>* scanInProgress)
    : session_(session),
      ui_(std::move(ui)),
      state_(std::move(state)),
      prompt_(prompt),
      deviceAddress_(std::move(deviceAddress)),
      startButton_(startButton),
      scanInProgress_(scanInProgress) {}

OperationUi* WorkerTask::ui() {
    return state_->closing ? nullptr : ui_.get();
}

void WorkerTask::status(const std::string& text) {
    if (auto* u = ui()) u->setStatus(text);
}

bool WorkerTask::open() {
    // A scan keeps the network busy; give it up to six seconds to end.
    for (int step = 0; step < kScanWaitSteps && scanInProgress_ && *scanInProgress_; ++step)
        session_.timing().pause(kScanWaitStep);

    // Once closing, there is nobody left to read the fields: end quietly.
    auto* u = ui();
    if (u == nullptr) return false;
    const std::string address = u->fieldText(kAddressField);
    if (address.empty() || address == "0.0.0.0") {
        fail("You must specify the IP address.");
        return false;
    }
    u = ui();
    const std::string password = u ? u->fieldText(kPasswordField) : std::string();
    if (u == nullptr) return false;
    if (password.empty()) {
        fail("You must specify the administrator password.");
        return false;
    }
    status("Establishing Telnet session...");
    session_.currentPassword = password;
    session_.connectionIsNetwork = true;

    const auto login = [this] {
        return session_.telnet.Login(deviceAddress_, true, session_.currentPassword, prompt_,
                                     Session::kDefaultPassword);
    };
    LoginResult result = login();
    if (result != LoginOk) {
        // A cancelled prompt reset the password to the default; the retry must not go ahead with a
        // password the user never gave.
        session_.currentPassword = password;
        result = login();
    }
    if (result == LoginOk) return true;
    // A password refused without a prompt leaves the connection open; nothing more goes over it.
    session_.telnet.Close();
    fail(result == LoginFailed ? "This device does not respond!" : "Please enter the correct password.");
    return false;
}

void WorkerTask::succeed(const std::string& text, const std::string& title) {
    session_.resetPassword();
    auto* u = ui();
    if (u == nullptr) return;
    u->messageBox(text, title, OperationUi::Icon::Information, OperationUi::Buttons::Ok);
    if ((u = ui()) != nullptr) u->finish();
}

void WorkerTask::fail(const std::string& message) {
    if (auto* u = ui()) u->beep();
    status(message);
    if (auto* u = ui()) u->enableControl(startButton_, true);
    session_.resetPassword();
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
