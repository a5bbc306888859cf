#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/platform/Ipv4.h"

namespace lm {

// One IPv4 address of the PC. `broadcast` is the interface's broadcast address, or one of the
// markers 0 (use address AND mask) and 1 (use address OR NOT mask).
struct InterfaceRow {
    Ipv4 address = 0;
    Ipv4 mask = 0;
    Ipv4 broadcast = 0;
    std::string name;  // the interface's device name, "eth0"; empty for stand-in rows
};

// The PC's IPv4 interfaces that are up, from getifaddrs; nullopt when the table cannot be read.
std::optional<std::vector<InterfaceRow>> readSystemInterfaces();

// The row whose network holds the address, if any.
const InterfaceRow* interfaceHolding(const std::vector<InterfaceRow>& rows, Ipv4 address);

}  // namespace lm
