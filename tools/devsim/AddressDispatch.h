#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/platform/UniqueFd.h"
#include "devsim/SocketLayout.h"

namespace lm::sim {

// One socket per protocol on the wildcard address answers for every device: a datagram goes to the
// device its destination address names (IP_PKTINFO) and the reply leaves from that address; an
// accepted connection goes to the device its local address names. An address no device holds gets
// nothing: a datagram is dropped, a connection reset at once. Moving a device re-keys its entry.
class AddressDispatch final : public SocketLayout {
public:
    static std::unique_ptr<SocketLayout> bind(const std::vector<DeviceConfig>& devices, SocketPorts wanted,
                                              ConnectionPool& pool, std::string* error);
    ~AddressDispatch() override;

    SocketPorts ports() const override { return ports_; }
    std::unique_ptr<DeviceSockets> take(std::size_t index) override;
    void attach(EventLoop& loop) override;

private:
    friend class DispatchedDevice;

    explicit AddressDispatch(ConnectionPool& pool) : pool_(pool) {}

    const DeviceHandlers* find(Ipv4 address) const;
    void enter(Ipv4 address, const DeviceHandlers* handlers);
    bool move(Ipv4 from, Ipv4 to, std::string* error);
    void leave(Ipv4 address);
    void receive();
    void accept(int listener, ConnectionPool::Handler DeviceHandlers::*service);

    ConnectionPool& pool_;
    SocketPorts ports_;
    UniqueFd discovery_, http_, telnet_;
    struct Place {
        Ipv4 address = 0;
        Ipv4 broadcast = 0;
    };
    std::vector<Place> places_;  // each device's at start
    BroadcastGroups groups_;
    mutable std::mutex mutex_;  // moves come from the devices' threads
    std::unordered_map<Ipv4, const DeviceHandlers*> byAddress_;
};

}  // namespace lm::sim
