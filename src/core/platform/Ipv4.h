#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// IPv4 addresses travel as in_addr_t in network byte order, as the socket calls want them.
using Ipv4 = in_addr_t;

// Dotted-decimal text of an address, as inet_ntoa writes it.
std::string dotted(Ipv4 address);

// Strict dotted-quad parse ("a.b.c.d", each 0..255); nothing else is accepted.
std::optional<Ipv4> parseIpv4(std::string_view text);

sockaddr_in makeSockaddr(Ipv4 address, uint16_t port);

}  // namespace lm
