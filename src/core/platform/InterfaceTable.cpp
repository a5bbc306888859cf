#include "core/platform/InterfaceTable.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace lm {

namespace {
Ipv4 addressOf(const sockaddr* sa) {
    return reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr;
}
}  // namespace

std::optional<std::vector<InterfaceRow>> readSystemInterfaces() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::vector<InterfaceRow> rows;
    for (const ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        if (!(it->ifa_flags & IFF_UP)) continue;
        InterfaceRow row;
        row.address = addressOf(it->ifa_addr);
        row.mask = it->ifa_netmask ? addressOf(it->ifa_netmask) : 0xffffffffu;
        // An address added without a broadcast address reports 0.0.0.0 or the address itself; neither
        // is a broadcast (0 would even read as the "address AND mask" marker), so such a row gets the
        // directed broadcast of its network.
        Ipv4 broadcast = 0;
        if ((it->ifa_flags & IFF_BROADCAST) && it->ifa_broadaddr && it->ifa_broadaddr->sa_family == AF_INET)
            broadcast = addressOf(it->ifa_broadaddr);
        row.broadcast = broadcast != 0 && broadcast != row.address ? broadcast : 1;
        row.name = it->ifa_name ? it->ifa_name : "";
        rows.push_back(row);
    }
    ::freeifaddrs(list);
    return rows;
}

const InterfaceRow* interfaceHolding(const std::vector<InterfaceRow>& rows, Ipv4 address) {
    for (const auto& row : rows)
        if (row.mask != 0 && (row.address & row.mask) == (address & row.mask)) return &row;
    return nullptr;
}

}  // namespace lm
