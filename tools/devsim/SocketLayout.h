#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devsim/ConnectionPool.h"
#include "devsim/DeviceConfig.h"
#include "devsim/EventLoop.h"
#include "devsim/ProbeSocket.h"
#include "devsim/SharedPort.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// What a device does with what reaches its address.
struct DeviceHandlers {
    std::function<void(ProbeSource)> probe;  // on the loop thread
    ConnectionPool::Handler http;            // on the connection's pool thread
    ConnectionPool::Handler telnet;
};

// One device's share of the simulator's sockets, whichever layout they have.
class DeviceSockets {
public:
    virtual ~DeviceSockets() = default;
    // Delivers what is sent to the device's address, and probes to its broadcast address, to
    // handlers. Before the loop runs.
    virtual void attach(EventLoop& loop, DeviceHandlers handlers) = 0;
    // One datagram from the device's address and discovery port; false when it could not leave.
    virtual bool send(ProbeSource to, std::string_view datagram) = 0;
    // Takes another address; false with a reason, and nothing changed, when the address is not
    // this machine's or is taken.
    virtual bool move(Ipv4 to, std::string* error) = 0;
};

// The devices that hear probes sent to each broadcast address. Filled before the loop runs.
class BroadcastGroups {
public:
    void join(Ipv4 broadcast, std::function<void(ProbeSource)> hear) {
        groups_[broadcast].push_back(std::move(hear));
    }
    // False when no device listens on `broadcast`.
    bool hear(Ipv4 broadcast, ProbeSource from) const {
        const auto group = groups_.find(broadcast);
        if (group == groups_.end()) return false;
        for (const auto& hear : group->second)
            hear(from);
        return true;
    }

private:
    std::map<Ipv4, std::vector<std::function<void(ProbeSource)>>> groups_;
};

struct SocketPorts {
    uint16_t discovery = 0;
    uint16_t http = 0;
    uint16_t telnet = 0;
};

// The three services' sockets, each service's on its own port.
struct ServiceSockets {
    SharedPort discovery, http, telnet;
    SocketPorts ports() const { return {discovery.port, http.port, telnet.port}; }
};

// Binds the discovery service on the udp endpoints, HTTP and telnet each on the tcp ones, on the
// wanted ports (0: a free one each); nullopt with a reason when one cannot be had.
std::optional<ServiceSockets> bindServices(std::span<const Endpoint> udp, std::span<const Endpoint> tcp,
                                           SocketPorts wanted, std::string* error);

// Every socket of a simulator's devices, bound, and each device's share of them.
class SocketLayout {
public:
    virtual ~SocketLayout() = default;
    // The ports every device answers on.
    virtual SocketPorts ports() const = 0;
    // Device `index`'s share, taken once per device; it needs the layout to outlive it.
    virtual std::unique_ptr<DeviceSockets> take(std::size_t index) = 0;
    // Watches the sockets no one device owns. After every device attached, before the loop runs.
    virtual void attach(EventLoop& loop) = 0;
};

struct SocketChoice {
    SocketMode mode = SocketMode::PerAddress;
    // Descriptors the simulator may hold at once: its sockets, consoles and connections.
    std::size_t descriptors = 0;
    std::string reason;  // said on start-up
};

// Resolves Auto: per-address sockets while they and the most connections the pool serves fit in the
// descriptor limit `limit`, shared ones otherwise.
SocketChoice chooseSockets(SocketMode wanted, std::size_t devices, std::size_t broadcasts,
                           std::size_t consoles, std::size_t limit);

// Binds every device's sockets in the chosen layout (PerAddress or Shared) on the wanted ports (0: a
// free one). broadcasts: the distinct broadcast addresses of the devices. nullptr with a reason when
// a socket cannot be had.
std::unique_ptr<SocketLayout> bindSockets(SocketMode mode, const std::vector<DeviceConfig>& devices,
                                          const std::vector<Ipv4>& broadcasts, SocketPorts wanted,
                                          ConnectionPool& pool, std::string* error);

}  // namespace lm::sim
