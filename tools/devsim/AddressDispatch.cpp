#include "devsim/AddressDispatch.h"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/platform/Socket.h"

namespace lm::sim {

namespace {

constexpr int kReceiveBufferBytes = 4 << 20;  // a broadcast scan's probes and every unicast one

}  // namespace

// A device's entry in the shared sockets.
class DispatchedDevice final : public DeviceSockets {
public:
    DispatchedDevice(AddressDispatch& dispatch, Ipv4 address, Ipv4 broadcast)
        : dispatch_(dispatch), address_(address), broadcast_(broadcast) {}
    ~DispatchedDevice() override {
        if (attached_) dispatch_.leave(address_.load());
    }

    void attach(EventLoop&, DeviceHandlers handlers) override {
        handlers_ = std::move(handlers);
        dispatch_.enter(address_.load(), &handlers_);
        dispatch_.groups_.join(broadcast_, handlers_.probe);
        attached_ = true;
    }

    bool send(ProbeSource to, std::string_view datagram) override {
        return sendDatagram(dispatch_.discovery_.get(), to, datagram, address_.load());
    }

    bool move(Ipv4 to, std::string* error) override {
        if (!dispatch_.move(address_.load(), to, error)) return false;
        address_.store(to);
        return true;
    }

private:
    AddressDispatch& dispatch_;
    std::atomic<Ipv4> address_;
    Ipv4 broadcast_;
    DeviceHandlers handlers_;
    bool attached_ = false;
};

std::unique_ptr<SocketLayout> AddressDispatch::bind(const std::vector<DeviceConfig>& devices,
                                                    SocketPorts wanted, ConnectionPool& pool,
                                                    std::string* error) {
    // A fixed discovery port is shared, as per-address broadcast listeners share it, so another
    // simulator's broadcast listener still hears probes.
    const Endpoint udp[] = {{htonl(INADDR_ANY), wanted.discovery != 0}};
    const Endpoint tcp[] = {{htonl(INADDR_ANY), true}};
    auto services = bindServices(udp, tcp, wanted, error);
    if (!services) return nullptr;

    std::unique_ptr<AddressDispatch> layout(new AddressDispatch(pool));
    layout->ports_ = services->ports();
    layout->discovery_ = std::move(services->discovery.sockets[0]);
    layout->http_ = std::move(services->http.sockets[0]);
    layout->telnet_ = std::move(services->telnet.sockets[0]);
    const int on = 1;
    if (::setsockopt(layout->discovery_.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        if (error) *error = std::string("cannot learn the destination of datagrams: ") + std::strerror(errno);
        return nullptr;
    }
    lm::growReceiveBuffer(layout->discovery_.get(), kReceiveBufferBytes);
    layout->places_.reserve(devices.size());
    for (const DeviceConfig& device : devices)
        layout->places_.push_back({device.address, broadcastOf(device)});
    return layout;
}

AddressDispatch::~AddressDispatch() = default;

std::unique_ptr<DeviceSockets> AddressDispatch::take(std::size_t index) {
    const Place& place = places_.at(index);
    return std::make_unique<DispatchedDevice>(*this, place.address, place.broadcast);
}

void AddressDispatch::attach(EventLoop& loop) {
    loop.watch(discovery_.get(), [this] { receive(); });
    loop.watch(http_.get(), [this] { accept(http_.get(), &DeviceHandlers::http); });
    loop.watch(telnet_.get(), [this] { accept(telnet_.get(), &DeviceHandlers::telnet); });
}

const DeviceHandlers* AddressDispatch::find(Ipv4 address) const {
    std::lock_guard lock(mutex_);
    const auto at = byAddress_.find(address);
    return at == byAddress_.end() ? nullptr : at->second;
}

void AddressDispatch::enter(Ipv4 address, const DeviceHandlers* handlers) {
    std::lock_guard lock(mutex_);
    byAddress_[address] = handlers;
}

void AddressDispatch::leave(Ipv4 address) {
    std::lock_guard lock(mutex_);
    byAddress_.erase(address);
}

bool AddressDispatch::move(Ipv4 from, Ipv4 to, std::string* error) {
    // Only an address of this machine (or namespace) can be taken, as binding one would tell.
    if (auto trial = UdpSocket::open(); !trial || !trial->bind(to, 0)) {
        if (error) *error = "cannot bind UDP " + dotted(to) + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard lock(mutex_);
    const auto at = byAddress_.find(from);
    if (at == byAddress_.end() || byAddress_.contains(to)) {
        if (error) *error = dotted(to) + " is another device's address";
        return false;
    }
    const DeviceHandlers* handlers = at->second;
    byAddress_.erase(at);
    byAddress_[to] = handlers;
    return true;
}

void AddressDispatch::receive() {
    const auto probe = readProbe(discovery_.get());
    if (!probe) return;
    if (const DeviceHandlers* device = find(probe->to))
        device->probe(probe->from);
    else
        groups_.hear(probe->to, probe->from);
}

void AddressDispatch::accept(int listener, ConnectionPool::Handler DeviceHandlers::*service) {
    UniqueFd connection(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection) return;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const DeviceHandlers* device =
        ::getsockname(connection.get(), reinterpret_cast<sockaddr*>(&local), &length) == 0
            ? find(local.sin_addr.s_addr)
            : nullptr;
    if (device) {
        pool_.serve(std::move(connection), device->*service);
        return;
    }
    // No device there: reset, as close to a refusal as an accepted connection gets.
    const linger reset{1, 0};
    ::setsockopt(connection.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

}  // namespace lm::sim
