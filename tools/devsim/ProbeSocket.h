#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/platform/Ipv4.h"

namespace lm::sim {

// Where a probe came from; the reply goes back there.
struct ProbeSource {
    Ipv4 address = 0;
    uint16_t port = 0;
};

// One datagram as read: its sender, and the address it was sent to when the socket asks for
// IP_PKTINFO (0 otherwise).
struct Probe {
    ProbeSource from;
    Ipv4 to = 0;
};

// Reads one waiting datagram; nullopt when there is none. Any payload counts as a probe.
std::optional<Probe> readProbe(int fd);

// Sends one datagram to `to`, waiting out a full send buffer rather than losing it. A socket bound to
// the wildcard address sends from `source` (IP_PKTINFO); 0 leaves the socket's own address.
bool sendDatagram(int fd, ProbeSource to, std::string_view bytes, Ipv4 source = 0);

}  // namespace lm::sim
