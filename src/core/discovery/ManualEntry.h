#pragma once

#include <string>

#include "core/discovery/DeviceInventory.h"

namespace lm {

// The address a manual entry stores, from the "Manual IP Entry" fields: the dotted address, then
// ":" and the port unless the port is "80" or empty. An address field left blank ("0.0.0.0", or
// empty) gives an empty result whatever the port says: there is no device to add.
std::string manualEntryAddress(const std::string& addressText, const std::string& portText);

// Adds the entry as "Device  N" (N counts manual entries from 1 and is never reused) of type and
// version "Unknown", then asks the window once more to refill the list and update the status.
// False, adding nothing, when the address is empty.
bool addManualDevice(DeviceInventory& inventory, const std::string& address);

}  // namespace lm
