#include "core/link/Session.h"

namespace lm {

Session::Session(NetworkProfile profile, Timing timing, SerialPortMap serialPorts)
    : profile_(std::move(profile)),
      timing_(timing),
      telnet_(timing_, profile_.telnetPort),
      serial_(timing_, std::move(serialPorts)) {}

LoginResult Session::loginNetwork(const std::string& address, bool allowPrompt, PasswordPrompt* prompt) {
    return telnet_.login(address, allowPrompt, password_, prompt, startPassword_);
}

SerialLoginResult Session::loginSerial(PasswordPrompt* prompt, const SerialLoginWatch& watch) {
    return serialConsoleLogin(serial_, password_, startPassword_, prompt, watch);
}

Session::Claim Session::claim(Milliseconds wait) {
    std::unique_lock lock(claimMutex_);
    if (!claimReleased_.wait_for(lock, wait, [this] { return !claimed_; })) return Claim();
    claimed_ = true;
    return Claim(this);
}

bool Session::busy() const {
    std::lock_guard lock(claimMutex_);
    return claimed_;
}

Session::Claim& Session::Claim::operator=(Claim&& other) noexcept {
    if (this != &other) {
        release();
        session_ = std::exchange(other.session_, nullptr);
    }
    return *this;
}

void Session::Claim::release() {
    if (session_ == nullptr) return;
    {
        std::lock_guard lock(session_->claimMutex_);
        session_->claimed_ = false;
    }
    session_->claimReleased_.notify_one();
    session_ = nullptr;
}

}  // namespace lm
