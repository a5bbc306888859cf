#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/platform/NetworkProfile.h"
#include "core/platform/Timing.h"
#include "core/wizard/DeviceSettings.h"

namespace lm {

// The ID a device answers discovery with, made from its MAC address ("02:4C:55:C8:9A:2B" gives
// "024C55-C89A2B"); empty when the MAC is not one.
std::string deviceIdFromMac(const std::string& mac);

// Waits, up to limit, for a device that rebooted with these settings to come back: a static
// address until its telnet port takes a connection, a DHCP one by discovery scans until a device
// answers with id. The address it answers at, or nothing when it did not come back in time (or
// stop() said to give up).
std::optional<std::string> waitForDeviceReturn(const DeviceSettings& settings, const std::string& id,
                                               const NetworkProfile& profile, const Timing& timing,
                                               Milliseconds limit, const std::function<bool()>& stop = {});

}  // namespace lm
