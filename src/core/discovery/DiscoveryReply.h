#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace lm {

// What a device says of itself in answer to the discovery probe.
struct DiscoveryReply {
    static constexpr std::size_t kMaxBytes = 256;  // a longer datagram is cut to this

    std::string id = "Unknown";
    std::string deviceType = "Unknown";
    std::string version = "Unknown (probed)";
    std::string product;  // the first token whole, "Maker/Type-Rest"
    std::string subtype;  // the "subtype" values, a blank between two

    // Reads the reply text: it ends at the first NUL or at the end of the datagram.
    static DiscoveryReply parse(std::span<const unsigned char> datagram);
};

}  // namespace lm
