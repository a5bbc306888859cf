#include "devsim/PerAddressSockets.h"

#include "core/platform/Socket.h"
#include "devsim/SharedPort.h"

namespace lm::sim {

namespace {

constexpr int kListenerBufferBytes = 4 << 20;

// A device's own sockets; moving rebinds them under the same descriptor numbers.
class OwnSockets final : public DeviceSockets {
public:
    OwnSockets(std::array<UniqueFd, 3> sockets, Ipv4 broadcast, BroadcastGroups& groups, ConnectionPool& pool)
        : sockets_(std::move(sockets)), broadcast_(broadcast), groups_(groups), pool_(pool) {}

    void attach(EventLoop& loop, DeviceHandlers handlers) override {
        loop_ = &loop;
        handlers_ = std::move(handlers);
        loop.watch(sockets_[0].get(), [this] {
            if (const auto probe = readProbe(sockets_[0].get())) handlers_.probe(probe->from);
        });
        loop.watch(sockets_[1].get(), [this] { pool_.accept(sockets_[1].get(), handlers_.http); });
        loop.watch(sockets_[2].get(), [this] { pool_.accept(sockets_[2].get(), handlers_.telnet); });
        groups_.join(broadcast_, handlers_.probe);
    }

    bool send(ProbeSource to, std::string_view datagram) override {
        return sendDatagram(sockets_[0].get(), to, datagram);
    }

    bool move(Ipv4 to, std::string* error) override {
        const std::array<int, 3> numbers{sockets_[0].get(), sockets_[1].get(), sockets_[2].get()};
        if (!moveSockets(numbers, to, error)) return false;
        if (loop_) loop_->wake();
        return true;
    }

private:
    std::array<UniqueFd, 3> sockets_;
    Ipv4 broadcast_;
    BroadcastGroups& groups_;
    ConnectionPool& pool_;
    EventLoop* loop_ = nullptr;
    DeviceHandlers handlers_;
};

}  // namespace

std::unique_ptr<SocketLayout> PerAddressSockets::bind(const std::vector<DeviceConfig>& devices,
                                                      const std::vector<Ipv4>& broadcasts, SocketPorts wanted,
                                                      ConnectionPool& pool, std::string* error) {
    // Devices first, then one listener per broadcast address, all on one port. A chosen port is
    // held alone; a fixed one is shared, so several simulators in one network can all hear probes.
    std::vector<Endpoint> udp, tcp;
    for (const DeviceConfig& device : devices) {
        udp.push_back({device.address, false});
        tcp.push_back({device.address, true});
    }
    for (Ipv4 broadcast : broadcasts)
        udp.push_back({broadcast, wanted.discovery != 0});
    auto services = bindServices(udp, tcp, wanted, error);
    if (!services) return nullptr;

    std::unique_ptr<PerAddressSockets> layout(new PerAddressSockets(pool));
    layout->ports_ = services->ports();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        layout->devices_.push_back({std::move(services->discovery.sockets[i]),
                                    std::move(services->http.sockets[i]),
                                    std::move(services->telnet.sockets[i])});
        layout->deviceBroadcasts_.push_back(broadcastOf(devices[i]));
    }
    for (std::size_t b = 0; b < broadcasts.size(); ++b) {
        Listener listener{broadcasts[b], std::move(services->discovery.sockets[devices.size() + b])};
        lm::growReceiveBuffer(listener.socket.get(), kListenerBufferBytes);
        layout->listeners_.push_back(std::move(listener));
    }
    return layout;
}

std::unique_ptr<DeviceSockets> PerAddressSockets::take(std::size_t index) {
    return std::make_unique<OwnSockets>(std::move(devices_.at(index)), deviceBroadcasts_.at(index), groups_,
                                        pool_);
}

void PerAddressSockets::attach(EventLoop& loop) {
    for (Listener& listener : listeners_)
        loop.watch(listener.socket.get(), [this, &listener] {
            if (const auto probe = readProbe(listener.socket.get()))
                groups_.hear(listener.broadcast, probe->from);
        });
}

}  // namespace lm::sim
