#include "Device.h"

namespace lm::sim {

Device::Device(DeviceConfig config, Sockets sockets, Ports ports, ConnectionPool& pool,
               std::function<WallClock::time_point()> clock)
    : config_(std::move(config)),
      state_(config_, ports.tftp),
      discovery_(config_, std::move(sockets.discovery), ports.discovery, [this] { return state_.up(); }),
      web_(config_, std::move(sockets.http), pool, std::move(clock), [this] { return state_.up(); }),
      telnet_(state_, std::move(sockets.telnet), pool) {
    state_.onReboot([this] {
        telnet_.dropSessions();
        if (console_) console_->rebooted();
    });
}

Device::~Device() {
    halt();
}

bool Device::openConsole(std::string* error) {
    if (!config_.shell.serial || console_) return true;
    auto console = std::make_unique<SerialConsole>(state_);
    if (!console->open(error)) return false;
    console_ = std::move(console);
    return true;
}

std::string Device::serialPath() const {
    return console_ ? console_->path() : std::string();
}

void Device::attach(EventLoop& loop) {
    discovery_.attach(loop);
    web_.attach(loop);
    telnet_.attach(loop);
    if (console_) console_->start();
}

void Device::halt() {
    state_.halt();
    if (console_) console_->stop();
}

DeviceCounters Device::counters() const {
    return {discovery_.probesReceived(),
            discovery_.repliesSent(),
            web_.requestsServed(),
            state_.sessions(),
            state_.logins(),
            state_.refusedLogins(),
            state_.reboots()};
}

}  // namespace lm::sim
