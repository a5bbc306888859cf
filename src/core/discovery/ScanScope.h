#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/InterfaceTable.h"
#include "core/platform/Ipv4.h"

namespace lm {

// Where a scan looks beyond the defaults: the interfaces whose networks get the broadcasts and whose
// ARP rows count (every one when none is named), and addresses probed one by one at a paced rate.
struct ScanScope {
    static constexpr std::size_t kMaxTargets = 65'536;
    // About nmap's own pace on a routed /20 (16,000 packets in under 2 s); the rounds halve it while
    // the send buffer is full or probes go lost, so a slow link is not flooded.
    static constexpr int kDefaultRate = 10'000;
    static constexpr int kMaxRate = 100'000;

    std::vector<std::string> interfaces;
    std::vector<Ipv4> targets;
    int rate = kDefaultRate;  // packets per second to the targets; each gets a probe and an echo

    bool includes(std::string_view interfaceName) const;
    // What is sent to the targets: a probe and an echo request each.
    std::size_t packets() const { return targets.size() * 2; }
    // How long the paced sends to the targets take, rounded up to whole seconds.
    std::chrono::seconds sendTime() const;
};

// What to tell the user before a scan whose sends to its targets alone take over a minute, so a
// slow range scan is not mistaken for a hung one; empty for a shorter scan.
std::string longScanNote(const ScanScope& scope);

// "eth0 (192.168.5.10)", or the address alone for a row without a name: how an interface is offered.
std::string interfaceLabel(const InterfaceRow& row);
// The interface names that chosen values (a name, or one of the PC's addresses) stand for. An unknown
// value leaves the result empty and `problem` listing the PC's IPv4 interfaces.
std::vector<std::string> chosenInterfaces(const std::vector<std::string>& chosen,
                                          const std::vector<InterfaceRow>& rows, std::string& problem);

// The host addresses of CIDR ranges ("192.168.5.0/24"), merged without duplicates in ascending order.
// The network and broadcast addresses of a /0 to /30 range are left out. `problem` says what is wrong
// with the first bad range, or that the ranges hold more than ScanScope::kMaxTargets addresses.
struct RangeAddresses {
    std::vector<Ipv4> addresses;
    std::string problem;
};
RangeAddresses rangeAddresses(const std::vector<std::string>& ranges);

}  // namespace lm
