#include "Device.h"

namespace lm::sim {

Device::Device(DeviceConfig config, Sockets sockets, Ports ports, ConnectionPool& pool,
               std::function<WallClock::time_point()> clock)
    : config_(std::move(config)),
      discovery_(config_, std::move(sockets.discovery), ports.discovery),
      web_(config_, std::move(sockets.http), pool, std::move(clock)) {}

void Device::attach(EventLoop& loop) {
    discovery_.attach(loop);
    web_.attach(loop);
}

DeviceCounters Device::counters() const {
    return {discovery_.probesReceived(), discovery_.repliesSent(), web_.requestsServed()};
}

}  // namespace lm::sim
