#pragma once

#include <optional>
#include <string_view>

#include "core/platform/Ipv4.h"

namespace lm::sim {

// The address a device takes when it boots, from the text of its saved /etc/config/ifcfg-eth0:
// "IPADDR=" under "BOOTPROTO=none" or "static". nullopt keeps the address it has: DHCP (our stand-in
// for a server that hands out the same lease again), a missing or unreadable setting, or an address
// no host can hold (0.x.x.x, multicast and above).
std::optional<Ipv4> bootAddressOf(std::string_view ifcfg);

}  // namespace lm::sim
