#pragma once

#include <optional>
#include <string>

#include "core/discovery/DiscoveryReply.h"
#include "core/platform/Ipv4.h"
#include "core/platform/NetworkProfile.h"

namespace lm {

// Asks one device what it is: the discovery probe sent to its address alone, and the first reply
// from that address within wait; nullopt when none came.
std::optional<DiscoveryReply> probeDevice(Ipv4 device, const NetworkProfile& profile, Milliseconds wait);

// How long the front ends wait for one device's answer.
inline constexpr Milliseconds kDeviceProbeWait{1500};

// The ID the device at host (a dotted address) gives in answer to the probe, as its reply reads;
// nullopt when host is no address or no answer came within kDeviceProbeWait.
std::optional<std::string> probeDeviceId(const std::string& host, const NetworkProfile& profile);

}  // namespace lm
