#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/platform/Ipv4.h"
#include "core/platform/UniqueFd.h"

namespace lm::sim {

enum class Transport { Udp, Tcp };

struct Endpoint {
    Ipv4 address = 0;
    // SO_REUSEADDR: lets other sockets bind the same address and port (broadcast listeners on a
    // fixed port, TCP listeners restarting over old connections).
    bool reuse = false;
};

// One port bound on many addresses.
struct SharedPort {
    uint16_t port = 0;
    std::vector<UniqueFd> sockets;  // one per endpoint, in order; TCP ones are listening
};

// Binds one socket (close-on-exec, non-blocking) on every endpoint, all with the same port. Port 0:
// the first endpoint picks a free port and the others follow; when one of them is taken, all are
// closed and another port is tried, a bounded number of times.
std::optional<SharedPort> bindSharedPort(Transport transport, std::span<const Endpoint> endpoints,
                                         uint16_t port, std::string* error);

// Moves sockets made by bindSharedPort to another address, each keeping its transport, port and
// options. All are bound first; only then does each new socket take its old one's descriptor number,
// so whoever watches or serves a number now has the moved socket. False with a reason when one
// cannot be bound (the address is not this machine's, or taken); the old sockets stay as they were.
bool moveSockets(std::span<const int> fds, Ipv4 to, std::string* error);

}  // namespace lm::sim
