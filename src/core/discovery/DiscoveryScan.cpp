#include "discovery/DiscoveryScan.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "discovery/DiscoveryReply.h"
#include "discovery/IcmpEcho.h"
#include "discovery/ModelTable.h"
#include "platform/ArpTable.h"
#include "platform/Socket.h"

namespace lm {

namespace {

// Enough for the replies of a thousand devices arriving at once.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
constexpr std::array<uint8_t, 3> kMakerPrefix = {0x02, 0x4C, 0x55};
const Ipv4 kLoopbackHost = htonl(INADDR_LOOPBACK);

}  // namespace

DiscoveryScan::DiscoveryScan(DeviceInventory& inventory, const NetworkProfile& profile)
    : inventory_(inventory), profile_(profile) {}

std::optional<ScanStats> DiscoveryScan::scanThread() {
    if (inventory_.scanInProgress.exchange(true)) return std::nullopt;
    inventory_.clearSeen();
    const ScanStats stats = run(profile_.quietPeriod);
    inventory_.notify(ID_PRUNE_UNSEEN);
    inventory_.notify(ID_LIST_REFILL);
    inventory_.notify(ID_STATUS_UPDATE);
    inventory_.scanInProgress = false;
    return stats;
}

Ipv4 DiscoveryScan::broadcastDestination(const InterfaceRow& row) {
    if (row.broadcast == 0) return row.address & row.mask;
    if (row.broadcast == 1) return row.address | ~row.mask;
    return row.broadcast;
}

void DiscoveryScan::sendEcho(const IcmpSocket& socket, Ipv4 destination, uint16_t identifier,
                             uint16_t sequence) {
    const auto request = makeEchoRequest(identifier, sequence);
    socket.send(destination, request);
}

void DiscoveryScan::followUpEcho(IcmpSocket::Kind kind, Ipv4 destination, uint16_t identifier) {
    if (auto socket = IcmpSocket::open(kind)) sendEcho(*socket, destination, identifier, 1);
}

ScanStats DiscoveryScan::run(Milliseconds quietPeriod) {
    ScanStats stats;
    const auto identifier = static_cast<uint16_t>(::gettid() & 0xffff);

    auto icmp = IcmpSocket::open();
    if (!icmp) {
        arpSweep(stats);
        return stats;
    }
    auto udp = UdpSocket::open();
    if (!udp) {
        arpSweep(stats);
        return stats;
    }
    stats.probeSent = true;
    stats.icmpKind = icmp->kind();
    icmp->enableBroadcast();
    udp->enableBroadcast();
    icmp->growReceiveBuffer(kReceiveBuffer);
    udp->growReceiveBuffer(kReceiveBuffer);

    if (const auto rows = profile_.interfaceTable()) {
        for (const auto& row : *rows) {
            if (row.address == kLoopbackHost) continue;
            const Ipv4 destination = broadcastDestination(row);
            udp->sendTo(destination, profile_.discoveryPort, std::string_view{});
            sendEcho(*icmp, destination, identifier, 0);
        }
    }

    const std::array<int, 2> fds = {icmp->fd(), udp->fd()};
    const Deadline limit(kMaxDuration);
    while (true) {
        if (limit.expired()) {
            stats.stoppedByLimit = true;
            break;
        }
        const auto ready = waitReadable(fds, static_cast<int>(quietPeriod.count()));
        if (!ready || (!(*ready)[0] && !(*ready)[1])) break;

        if ((*ready)[0]) {
            if (const auto packet = icmp->receive(kMaxEchoBytes)) {
                const auto echo = readEchoHeader(packet->icmp);
                const bool ours = icmp->kernelOwnsIdentifier() || (echo && echo->identifier == identifier);
                if (echo && echo->type == 0 && echo->sequence == 0 && ours)
                    followUpEcho(icmp->kind(), packet->from, identifier);
            }
        }
        if ((*ready)[1]) {
            const auto datagram = udp->receive(kMaxReplyBytes);
            if (!datagram) continue;
            ++stats.replies;
            followUpEcho(icmp->kind(), datagram->from, identifier);
            const std::string address = dotted(datagram->from);
            const auto reply = DiscoveryReply::parse(datagram->bytes);
            const DeviceFacts facts{{}, reply.product, reply.subtype, DeviceSource::probe};
            if (!inventory_.update(reply.id, address, facts))
                inventory_.add(reply.id, address, reply.deviceType, reply.version, facts);
        }
    }
    // Close the sockets before the ARP pass, as a scan without them would.
    icmp.reset();
    udp.reset();
    arpSweep(stats);
    return stats;
}

void DiscoveryScan::arpSweep(ScanStats& stats) {
    const auto rows = readArpTable(profile_.arpTablePath);
    if (!rows) return;
    for (const auto& row : *rows) {
        if (row.hardwareLength != 6) continue;
        if (row.hardware[0] != kMakerPrefix[0] || row.hardware[1] != kMakerPrefix[1] ||
            row.hardware[2] != kMakerPrefix[2])
            continue;
        ++stats.arpDevices;
        const std::string id = deviceIdOfMac(row.hardware.data());
        const std::string address = dotted(row.address);
        const DeviceFacts facts{macText(row.hardware.data()), {}, {}, DeviceSource::arp};
        if (!inventory_.update(id, address, facts))
            inventory_.add(id, address, ModelTable::nameForCode(ModelTable::codeFromId(id)), "Unknown (ARP)",
                           facts);
    }
}

}  // namespace lm
