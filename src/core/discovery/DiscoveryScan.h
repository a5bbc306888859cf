#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/discovery/DeviceInventory.h"
#include "core/discovery/ScanScope.h"
#include "core/platform/IcmpSocket.h"
#include "core/platform/InterfaceTable.h"
#include "core/platform/NetworkProfile.h"

namespace lm {

// What one scan could do and what it saw; the window shows none of it, the CLI tells it.
struct ScanStats {
    bool probeSent = false;  // false: no ICMP or UDP socket, so the ARP pass alone ran
    std::optional<IcmpSocket::Kind> icmpKind;
    std::size_t replies = 0;      // discovery replies received
    int rangeRounds = 0;          // rounds of probes to the scope's targets
    std::size_t arpDevices = 0;   // maker's rows in the ARP table
    bool stoppedByLimit = false;  // the network never went quiet within the scan's limit
};

// Finds the maker's devices on every local network (or the scope's interfaces): UDP probe, ICMP
// sweep, the same two sent one by one to the scope's targets, then the ARP table.
class DiscoveryScan {
public:
    static constexpr std::size_t kMaxReplyBytes = 256;
    static constexpr std::size_t kMaxEchoBytes = 156;
    // A network that never falls quiet still ends the scan after this long.
    static constexpr Milliseconds kMaxDuration{120000};

    DiscoveryScan(DeviceInventory& inventory, const NetworkProfile& profile, ScanScope scope = {});

    // One whole scan unless one is running already (then nullopt at once): clearSeen, run, then
    // ID_PRUNE_UNSEEN, ID_LIST_REFILL and ID_STATUS_UPDATE.
    std::optional<ScanStats> scanThread();

    ScanStats run(Milliseconds quietPeriod);
    void arpSweep(ScanStats& stats);

    static void sendEcho(const IcmpSocket& socket, Ipv4 destination, uint16_t identifier, uint16_t sequence);
    // Where a row's probe goes: its broadcast address, or one made from address and mask.
    static Ipv4 broadcastDestination(const InterfaceRow& row);

private:
    struct Sockets;
    // Asks the scope's targets in rounds until the answers are in; with a broadcast sent, also until
    // the network has been quiet for the quiet period, apart from the targets' answers.
    void probeTargets(const Sockets& sockets, ScanStats& stats, bool broadcastSent, Milliseconds quietPeriod);
    // Waits up to waitMs for a reply and takes it; false when none came.
    bool receive(const Sockets& sockets, ScanStats& stats, int waitMs);
    void followUpEcho(IcmpSocket::Kind kind, Ipv4 destination, uint16_t identifier);
    // The name of the interface a reply from this address came in on, as far as it can be told.
    std::string interfaceOf(Ipv4 address);

    DeviceInventory& inventory_;
    const NetworkProfile& profile_;
    ScanScope scope_;
    std::vector<InterfaceRow> interfaces_;  // this scan's copy of the interface table
    // Routed devices' interfaces, asked of the routing table once per address and scan: one socket
    // each, where a range scan gets thousands of replies.
    std::unordered_map<Ipv4, std::string> routedInterfaces_;
};

}  // namespace lm
