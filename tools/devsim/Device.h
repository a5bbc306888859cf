#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "devsim/ConnectionPool.h"
#include "devsim/DeviceConfig.h"
#include "devsim/DeviceState.h"
#include "devsim/DiscoveryResponder.h"
#include "devsim/EventLoop.h"
#include "devsim/SerialConsole.h"
#include "devsim/SimulatorConfig.h"
#include "devsim/SocketLayout.h"
#include "devsim/TelnetServer.h"
#include "devsim/WebServer.h"

namespace lm::sim {

struct DeviceCounters {
    uint64_t probesReceived = 0;
    uint64_t repliesSent = 0;
    uint64_t httpRequests = 0;
    uint64_t telnetSessions = 0;  // connections served while the device was up
    uint64_t logins = 0;          // accepted, telnet and console
    uint64_t refusedLogins = 0;
    uint64_t reboots = 0;
    bool operator==(const DeviceCounters&) const = default;
};

// One running simulated device and its services, reached through its share of the simulator's
// sockets.
class Device {
public:
    struct Ports {
        uint16_t discovery = 0;
        uint16_t http = 0;
        uint16_t tftp = 69;  // where the flash tool sends its read request
    };

    Device(DeviceConfig config, std::unique_ptr<DeviceSockets> sockets, Ports ports, ConnectionPool& pool,
           std::function<WallClock::time_point()> clock);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const DeviceConfig& config() const { return config_; }
    DeviceState& state() { return state_; }
    const DeviceState& state() const { return state_; }

    // Creates the serial console when the device has one; false with a reason when it cannot.
    bool openConsole(std::string* error);
    // The console's device path; empty without a console.
    std::string serialPath() const;

    // Called after a reboot has moved the device to another address; set before attach().
    void onMoved(std::function<void()> listener) { moved_ = std::move(listener); }

    // Starts serving what reaches the device's address, and the console.
    void attach(EventLoop& loop);
    // Ends every wait of the device's own threads and stops the console; sessions end when the
    // pool closes their connections.
    void halt();
    DeviceCounters counters() const;

private:
    // A reboot brings the device up on the static address saved in its ifcfg-eth0, when that is
    // another one and can be bound; otherwise it stays where it was and says why on stderr.
    void takeBootAddress();

    DeviceConfig config_;
    DeviceState state_;
    std::unique_ptr<DeviceSockets> sockets_;
    std::mutex moving_;  // two sessions may reboot the device at once
    std::function<void()> moved_;
    DiscoveryResponder discovery_;
    WebServer web_;
    TelnetServer telnet_;
    std::unique_ptr<SerialConsole> console_;
};

}  // namespace lm::sim
