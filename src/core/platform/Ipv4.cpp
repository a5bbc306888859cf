#include "core/platform/Ipv4.h"

#include <arpa/inet.h>

#include <cstring>

namespace lm {

std::string dotted(Ipv4 address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::optional<Ipv4> parseIpv4(std::string_view text) {
    if (text.empty() || text.size() >= INET_ADDRSTRLEN) return std::nullopt;
    char buffer[INET_ADDRSTRLEN] = {};
    std::memcpy(buffer, text.data(), text.size());
    in_addr a{};
    if (inet_pton(AF_INET, buffer, &a) != 1) return std::nullopt;
    return a.s_addr;
}

sockaddr_in makeSockaddr(Ipv4 address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

}  // namespace lm
