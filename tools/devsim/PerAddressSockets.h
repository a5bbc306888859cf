#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/UniqueFd.h"
#include "devsim/SocketLayout.h"

namespace lm::sim {

// Every device binds its own three sockets on its address, and each broadcast address has a
// listener of its own: a device that moves rebinds, an address no device holds refuses.
class PerAddressSockets final : public SocketLayout {
public:
    static std::unique_ptr<SocketLayout> bind(const std::vector<DeviceConfig>& devices,
                                              const std::vector<Ipv4>& broadcasts, SocketPorts wanted,
                                              ConnectionPool& pool, std::string* error);

    SocketPorts ports() const override { return ports_; }
    std::unique_ptr<DeviceSockets> take(std::size_t index) override;
    void attach(EventLoop& loop) override;

private:
    struct Listener {
        Ipv4 broadcast = 0;
        UniqueFd socket;
    };

    explicit PerAddressSockets(ConnectionPool& pool) : pool_(pool) {}

    ConnectionPool& pool_;
    SocketPorts ports_;
    std::vector<std::array<UniqueFd, 3>> devices_;  // discovery, HTTP, telnet; until taken
    std::vector<Ipv4> deviceBroadcasts_;
    std::vector<Listener> listeners_;
    BroadcastGroups groups_;
};

}  // namespace lm::sim
