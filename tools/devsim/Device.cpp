#include "devsim/Device.h"

#include <cstdio>

#include "devsim/BootAddress.h"

namespace lm::sim {

Device::Device(DeviceConfig config, std::unique_ptr<DeviceSockets> sockets, Ports ports, ConnectionPool& pool,
               std::function<WallClock::time_point()> clock)
    : config_(std::move(config)),
      state_(config_, ports.tftp),
      sockets_(std::move(sockets)),
      discovery_(
          config_, ports.discovery,
          [this](ProbeSource to, std::string_view reply) { return sockets_->send(to, reply); },
          [this] { return state_.up(); }),
      web_(config_, pool, std::move(clock), [this] { return state_.up(); }),
      telnet_(state_) {
    state_.onReboot([this] {
        // Moved before the sessions drop, so whoever saw the reboot finds the device already gone.
        takeBootAddress();
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

void Device::takeBootAddress() {
    std::lock_guard lock(moving_);
    const auto saved = state_.files().read("/etc/config/ifcfg-eth0");
    const auto wanted = saved ? bootAddressOf(*saved) : std::nullopt;
    if (!wanted || *wanted == state_.address()) return;
    std::string why;
    if (!sockets_->move(*wanted, &why)) {
        std::fprintf(stderr, "lmsim: device %s stays on %s, as %s cannot be taken: %s\n",
                     identifierOf(config_).c_str(), dotted(state_.address()).c_str(), dotted(*wanted).c_str(),
                     why.c_str());
        return;
    }
    state_.setAddress(*wanted);
    if (moved_) moved_();
}

void Device::attach(EventLoop& loop) {
    sockets_->attach(loop, {[this](ProbeSource from) { discovery_.answer(from); },
                            [this](int fd) { web_.serve(fd); }, [this](int fd) { telnet_.serve(fd); }});
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
