#pragma once

#include <optional>

#include "core/discovery/DiscoveryReply.h"
#include "core/platform/Ipv4.h"
#include "core/platform/NetworkProfile.h"

namespace lm {

// Asks one device what it is: the discovery probe sent to its address alone, and the first reply
// from that address within wait; nullopt when none came.
std::optional<DiscoveryReply> probeDevice(Ipv4 device, const NetworkProfile& profile, Milliseconds wait);

}  // namespace lm
