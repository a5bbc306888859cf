#pragma once

#include <optional>
#include <vector>

#include "platform/Ipv4.h"

namespace lm {

// One IPv4 address of the PC. `broadcast` is the interface's broadcast address, or one of the
// markers 0 (use address AND mask) and 1 (use address OR NOT mask).
struct InterfaceRow {
    Ipv4 address = 0;
    Ipv4 mask = 0;
    Ipv4 broadcast = 0;
};

// The PC's IPv4 interfaces that are up, from getifaddrs; nullopt when the table cannot be read.
std::optional<std::vector<InterfaceRow>> readSystemInterfaces();

}  // namespace lm
