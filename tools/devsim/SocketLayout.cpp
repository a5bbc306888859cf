#include "devsim/SocketLayout.h"

#include "devsim/AddressDispatch.h"
#include "devsim/PerAddressSockets.h"

namespace lm::sim {

namespace {

constexpr std::size_t kSocketsPerDevice = 3;  // discovery, HTTP, telnet
constexpr std::size_t kDescriptorsPerConsole = 2;
// Standard streams, the loop's wake-up, flash tool transfers and whatever the host program holds.
constexpr std::size_t kReserve = 64;

}  // namespace

SocketChoice chooseSockets(SocketMode wanted, std::size_t devices, std::size_t broadcasts,
                           std::size_t consoles, std::size_t limit) {
    const std::size_t room = consoles * kDescriptorsPerConsole + ConnectionPool::kMaxConnections + kReserve;
    const std::size_t perAddress = devices * kSocketsPerDevice + broadcasts + room;
    const std::size_t shared = kSocketsPerDevice + room;
    const std::string need = std::to_string(perAddress) + " descriptors with room for connections";
    const std::string ofLimit = "the limit of " + std::to_string(limit);
    if (wanted == SocketMode::PerAddress || (wanted == SocketMode::Auto && perAddress <= limit))
        return {SocketMode::PerAddress, perAddress,
                "sockets per address: three for each device, " + need +
                    (perAddress <= limit ? ", within " : ", over ") + ofLimit};
    return {SocketMode::Shared, shared,
            "shared sockets: one per protocol answers for every device address" +
                (wanted == SocketMode::Auto ? ", as per-address ones would need " + need + ", over " + ofLimit
                                            : std::string())};
}

std::optional<ServiceSockets> bindServices(std::span<const Endpoint> udp, std::span<const Endpoint> tcp,
                                           SocketPorts wanted, std::string* error) {
    auto discovery = bindSharedPort(Transport::Udp, udp, wanted.discovery, error);
    if (!discovery) return std::nullopt;
    auto http = bindSharedPort(Transport::Tcp, tcp, wanted.http, error);
    if (!http) return std::nullopt;
    auto telnet = bindSharedPort(Transport::Tcp, tcp, wanted.telnet, error);
    if (!telnet) return std::nullopt;
    return ServiceSockets{std::move(*discovery), std::move(*http), std::move(*telnet)};
}

std::unique_ptr<SocketLayout> bindSockets(SocketMode mode, const std::vector<DeviceConfig>& devices,
                                          const std::vector<Ipv4>& broadcasts, SocketPorts wanted,
                                          ConnectionPool& pool, std::string* error) {
    if (mode == SocketMode::Shared) return AddressDispatch::bind(devices, wanted, pool, error);
    return PerAddressSockets::bind(devices, broadcasts, wanted, pool, error);
}

}  // namespace lm::sim
