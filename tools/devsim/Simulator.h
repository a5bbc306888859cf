#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devsim/ConnectionPool.h"
#include "devsim/Device.h"
#include "devsim/EventLoop.h"
#include "devsim/SimulatorConfig.h"
#include "devsim/SocketLayout.h"

namespace lm::sim {

// Runs a set of simulated devices: binds their sockets on the shared ports (per address, or shared by
// all, see SocketMode), serves them from one event-loop thread plus one thread per HTTP or telnet
// connection and one per serial console, and stops them all again.
class Simulator {
public:
    explicit Simulator(SimulatorConfig config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds every socket and starts serving; false with a reason when a socket cannot be had.
    // May be called again after stop().
    bool start(std::string* error);
    // Ends every service and connection and joins every thread; the ports are free afterwards.
    void stop();
    bool running() const { return loop_ != nullptr; }

    // The shared ports; valid after a successful start().
    uint16_t discoveryPort() const { return discoveryPort_; }
    uint16_t httpPort() const { return httpPort_; }
    uint16_t telnetPort() const { return telnetPort_; }
    uint16_t tftpPort() const { return config_.tftpPort; }
    // Which sockets the last start() chose, and why.
    const SocketChoice& sockets() const { return sockets_; }
    const std::vector<DeviceConfig>& devices() const { return config_.devices; }

    // Called with the device's index, on the rebooting device's thread, whenever a reboot has moved
    // a device to another address. Set before start().
    void onAddressChange(std::function<void(std::size_t)> listener) { addressChanged_ = std::move(listener); }

    // While running, per device (empty or nullopt when out of range or stopped):
    // where the device is now: its configured address until a reboot moves it.
    std::optional<Ipv4> address(std::size_t index) const;
    // the serial console's device path; empty when the device has none.
    std::string serialPath(std::size_t index) const;
    // A file as the device holds it now.
    std::optional<std::string> fileText(std::size_t index, const std::string& path) const;
    // Files written with the editor or "cat >", command lines run, flash tool runs; oldest first.
    std::vector<FileWrite> fileWrites(std::size_t index) const;
    std::vector<std::string> commands(std::size_t index) const;
    std::vector<FlashRecord> flashes(std::size_t index) const;
    // Whether the device is up (not restarting), and a wait until it is; false on time-out or stop.
    bool deviceUp(std::size_t index) const;
    bool waitUntilUp(std::size_t index, Milliseconds limit) const;

    // The devices at their current addresses as rows of /proc/net/arp, for a scan pointed at a file instead
    // of the kernel's table.
    std::string arpTableText() const;
    // Writes arpTableText() to path, replacing the file in one step; safe from several threads.
    bool writeArpTable(const std::string& path, std::string* error) const;

    // What device `index` has seen since the last start (kept after stop); zeros when out of range.
    DeviceCounters counters(std::size_t index) const;
    DeviceCounters totals() const;

private:
    bool bindAndCreate(std::string* error);
    const Device* device(std::size_t index) const;

    SimulatorConfig config_;
    uint16_t discoveryPort_ = 0;
    uint16_t httpPort_ = 0;
    uint16_t telnetPort_ = 0;
    SocketChoice sockets_;
    std::unique_ptr<ConnectionPool> pool_;
    std::unique_ptr<SocketLayout> layout_;  // outlives the devices, which hold shares of it
    std::vector<std::unique_ptr<Device>> devices_;
    std::vector<DeviceCounters> finalCounters_;
    std::function<void(std::size_t)> addressChanged_;
    mutable std::mutex arpFileWrite_;
    std::unique_ptr<EventLoop> loop_;
    std::thread thread_;
};

}  // namespace lm::sim
