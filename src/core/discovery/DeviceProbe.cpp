#include "core/discovery/DeviceProbe.h"

#include "core/discovery/DiscoveryScan.h"
#include "core/platform/Socket.h"

namespace lm {

std::optional<DiscoveryReply> probeDevice(Ipv4 device, const NetworkProfile& profile, Milliseconds wait) {
    auto udp = UdpSocket::open();
    if (!udp || !udp->sendTo(device, profile.discoveryPort, std::string_view{})) return std::nullopt;
    const Deadline deadline(wait);
    const int fds[] = {udp->fd()};
    while (!deadline.expired()) {
        const auto ready = waitReadable(fds, deadline.remainingMs());
        if (!ready || !(*ready)[0]) return std::nullopt;
        const auto datagram = udp->receive(DiscoveryScan::kMaxReplyBytes);
        // Anyone else's datagram is not this device's answer.
        if (datagram && datagram->from == device) return DiscoveryReply::parse(datagram->bytes);
    }
    return std::nullopt;
}

std::optional<std::string> probeDeviceId(const std::string& host, const NetworkProfile& profile) {
    const auto address = parseIpv4(host);
    if (!address) return std::nullopt;
    const auto reply = probeDevice(*address, profile, kDeviceProbeWait);
    if (!reply) return std::nullopt;
    return reply->id;
}

}  // namespace lm
