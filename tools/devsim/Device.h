#pragma once

#include <cstdint>
#include <functional>

#include "ConnectionPool.h"
#include "DeviceConfig.h"
#include "DiscoveryResponder.h"
#include "EventLoop.h"
#include "SimulatorConfig.h"
#include "WebServer.h"

namespace lm::sim {

struct DeviceCounters {
    uint64_t probesReceived = 0;
    uint64_t repliesSent = 0;
    uint64_t httpRequests = 0;
    bool operator==(const DeviceCounters&) const = default;
};

// One running simulated device and its services, each on the sockets the simulator bound for it.
class Device {
public:
    // The device's bound sockets, one per service, all on the simulator's shared ports.
    struct Sockets {
        UniqueFd discovery;  // UDP
        UniqueFd http;       // TCP, listening
    };
    struct Ports {
        uint16_t discovery = 0;
        uint16_t http = 0;
    };

    Device(DeviceConfig config, Sockets sockets, Ports ports, ConnectionPool& pool,
           std::function<WallClock::time_point()> clock);
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const DeviceConfig& config() const { return config_; }

    // Puts every service's sockets on the loop.
    void attach(EventLoop& loop);
    // A probe heard on the device's broadcast address.
    void hearBroadcast(ProbeSource from) { discovery_.answer(from); }

    DeviceCounters counters() const;

private:
    DeviceConfig config_;
    DiscoveryResponder discovery_;
    WebServer web_;
};

}  // namespace lm::sim
