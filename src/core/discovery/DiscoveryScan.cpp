#include "core/discovery/DiscoveryScan.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "core/discovery/DiscoveryReply.h"
#include "core/discovery/IcmpEcho.h"
#include "core/discovery/ModelTable.h"
#include "core/discovery/RangeRounds.h"
#include "core/platform/ArpTable.h"
#include "core/platform/Socket.h"

namespace lm {

namespace {

// Enough for the replies of a thousand devices arriving at once.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
constexpr std::array<uint8_t, 3> kMakerPrefix = {0x02, 0x4C, 0x55};
const Ipv4 kLoopbackHost = htonl(INADDR_LOOPBACK);

}  // namespace

struct DiscoveryScan::Sockets {
    const IcmpSocket& icmp;
    const UdpSocket& udp;
    uint16_t identifier;
    // While targets are asked: their rounds, and when something other than their answers last came.
    RangeRounds* rounds = nullptr;
    MonoClock::time_point* lastOtherArrival = nullptr;
};

DiscoveryScan::DiscoveryScan(DeviceInventory& inventory, const NetworkProfile& profile, ScanScope scope)
    : inventory_(inventory), profile_(profile), scope_(std::move(scope)) {}

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
    const auto table = profile_.interfaceTable();
    interfaces_ = table.value_or(std::vector<InterfaceRow>{});

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

    bool broadcastSent = false;
    for (const auto& row : interfaces_) {
        if (row.address == kLoopbackHost || !scope_.includes(row.name)) continue;
        const Ipv4 destination = broadcastDestination(row);
        udp->sendTo(destination, profile_.discoveryPort, std::string_view{});
        sendEcho(*icmp, destination, identifier, 0);
        broadcastSent = true;
    }
    const Sockets sockets{*icmp, *udp, identifier};
    if (!scope_.targets.empty()) {
        // Refusals tell which targets hold no device; a full send buffer slows the pace instead of
        // holding the scan.
        udp->reportErrors();
        udp->setNonBlocking();
        probeTargets(sockets, stats, broadcastSent, quietPeriod);
    } else {
        const Deadline limit(kMaxDuration);
        while (true) {
            if (limit.expired()) {
                stats.stoppedByLimit = true;
                break;
            }
            if (!receive(sockets, stats, static_cast<int>(quietPeriod.count()))) break;
        }
    }
    // Close the sockets before the ARP pass, as a scan without them would.
    icmp.reset();
    udp.reset();
    arpSweep(stats);
    return stats;
}

void DiscoveryScan::probeTargets(const Sockets& broadcast, ScanStats& stats, bool broadcastSent,
                                 Milliseconds quietPeriod) {
    auto now = MonoClock::now();
    RangeRounds rounds(scope_.targets, scope_.rate, quietPeriod, now);
    MonoClock::time_point lastOtherArrival = now;
    Sockets sockets = broadcast;
    sockets.rounds = &rounds;
    sockets.lastOtherArrival = &lastOtherArrival;
    // The broadcast's quiet period may only be cut short by the limit once the rounds are over.
    std::optional<Deadline> limit;
    while (true) {
        now = MonoClock::now();
        while (const auto send = rounds.nextSend(now)) {
            if (send->packet == RangeRounds::Packet::Echo) {
                sendEcho(sockets.icmp, send->target, sockets.identifier, 0);
            } else if (!sockets.udp.sendTo(send->target, profile_.discoveryPort, std::string_view{}) &&
                       sendBufferFull(errno)) {
                rounds.sendRefused(now);
                break;
            }
        }
        auto wait = rounds.wait(now);
        if (!wait) {
            if (!broadcastSent) break;
            if (!limit) limit.emplace(kMaxDuration);
            if (limit->expired()) {
                stats.stoppedByLimit = true;
                break;
            }
            const auto quietEnds = lastOtherArrival + quietPeriod;
            if (now >= quietEnds) break;
            wait = std::chrono::ceil<Milliseconds>(quietEnds - now);
        }
        receive(sockets, stats, static_cast<int>(wait->count()));
    }
    stats.rangeRounds = rounds.round();
}

bool DiscoveryScan::receive(const Sockets& sockets, ScanStats& stats, int waitMs) {
    const std::array<int, 2> fds = {sockets.icmp.fd(), sockets.udp.fd()};
    const auto ready = waitReadable(fds, waitMs);
    if (!ready || (!(*ready)[0] && !(*ready)[1])) return false;

    // What the targets answer belongs to their rounds; anything else keeps the broadcast's wait going.
    // A target needs no follow-up echo: it had one of its own already, which resolved its address.
    const auto isTarget = [&sockets](Ipv4 from) { return sockets.rounds && sockets.rounds->isTarget(from); };
    const auto arrived = [&sockets, &isTarget](Ipv4 from) {
        const auto now = MonoClock::now();
        if (sockets.rounds && !isTarget(from)) *sockets.lastOtherArrival = now;
        return now;
    };
    if ((*ready)[0]) {
        if (const auto packet = sockets.icmp.receive(kMaxEchoBytes)) {
            const auto now = arrived(packet->from);
            const auto echo = readEchoHeader(packet->icmp);
            const bool ours =
                sockets.icmp.kernelOwnsIdentifier() || (echo && echo->identifier == sockets.identifier);
            if (echo && echo->type == 0 && echo->sequence == 0 && ours) {
                if (isTarget(packet->from))
                    sockets.rounds->alive(packet->from, now);
                else
                    followUpEcho(sockets.icmp.kind(), packet->from, sockets.identifier);
            }
        }
    }
    if ((*ready)[1] && sockets.rounds) {
        while (const auto refused = sockets.udp.receiveRefusal())
            sockets.rounds->refused(*refused, MonoClock::now());
    }
    if ((*ready)[1]) {
        if (const auto datagram = sockets.udp.receive(kMaxReplyBytes)) {
            const auto now = arrived(datagram->from);
            ++stats.replies;
            if (isTarget(datagram->from))
                sockets.rounds->answered(datagram->from, now);
            else
                followUpEcho(sockets.icmp.kind(), datagram->from, sockets.identifier);
            const std::string address = dotted(datagram->from);
            const auto reply = DiscoveryReply::parse(datagram->bytes);
            const DeviceFacts facts{
                {}, reply.product, reply.subtype, DeviceSource::probe, interfaceOf(datagram->from)};
            if (!inventory_.update(reply.id, address, facts))
                inventory_.add(reply.id, address, reply.deviceType, reply.version, facts);
        }
    }
    return true;
}

std::string DiscoveryScan::interfaceOf(Ipv4 address) {
    if (const auto* row = interfaceHolding(interfaces_, address)) return row->name;
    const auto [known, fresh] = routedInterfaces_.try_emplace(address);
    if (!fresh) return known->second;
    // A routed device: the interface its replies come back through is the one the route goes out of.
    if (const auto local = localAddressToward(address))
        for (const auto& row : interfaces_)
            if (row.address == *local) return known->second = row.name;
    return {};
}

void DiscoveryScan::arpSweep(ScanStats& stats) {
    const auto rows = readArpTable(profile_.arpTablePath);
    if (!rows) return;
    for (const auto& row : *rows) {
        if (row.hardwareLength != 6 || !scope_.includes(row.device)) continue;
        if (row.hardware[0] != kMakerPrefix[0] || row.hardware[1] != kMakerPrefix[1] ||
            row.hardware[2] != kMakerPrefix[2])
            continue;
        ++stats.arpDevices;
        const std::string id = deviceIdOfMac(row.hardware.data());
        const std::string address = dotted(row.address);
        const DeviceFacts facts{macText(row.hardware.data()), {}, {}, DeviceSource::arp, row.device};
        if (!inventory_.update(id, address, facts))
            inventory_.add(id, address, ModelTable::nameForCode(ModelTable::codeFromId(id)),
                           std::string(kArpOnlyVersion), facts);
    }
}

}  // namespace lm
