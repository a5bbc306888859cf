#include "platform/InterfaceTable.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace lm {

namespace {
Ipv4 addressOf(const sockaddr* sa) { return reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr; }
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
        const bool hasBroadcast =
            (it->ifa_flags & IFF_BROADCAST) && it->ifa_broadaddr && it->ifa_broadaddr->sa_family == AF_INET;
        row.broadcast = hasBroadcast ? addressOf(it->ifa_broadaddr) : 1;
        rows.push_back(row);
    }
    ::freeifaddrs(list);
    return rows;
}

}  // namespace lm
