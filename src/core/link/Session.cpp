#include "link/Session.h"

namespace lm {

Session::Session(NetworkProfile profile, Timing timing, SerialPortMap serialPorts)
    : profile_(std::move(profile)),
      timing_(timing),
      telnet_(timing_, profile_.telnetPort),
      serial_(timing_, std::move(serialPorts)) {}

LoginResult Session::loginNetwork(const std::string& address, bool allowPrompt, PasswordPrompt* prompt) {
    return telnet_.Login(address, allowPrompt, password_, prompt, kDefaultPassword);
}

SerialLoginResult Session::loginSerial(PasswordPrompt* prompt, OperationUi* ui) {
    return serialConsoleLogin(serial_, password_, kDefaultPassword, prompt, ui);
}

std::unique_lock<std::timed_mutex> Session::claim(Milliseconds wait) {
    std::unique_lock<std::timed_mutex> lock(conversation_, std::defer_lock);
    (void)lock.try_lock_for(wait);
    return lock;
}

}  // namespace lm
