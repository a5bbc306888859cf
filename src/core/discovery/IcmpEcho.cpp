#include "core/discovery/IcmpEcho.h"

namespace lm {

uint16_t icmpChecksum(std::span<const unsigned char> bytes) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    }
    sum = (sum >> 16) + (sum & 0xffff);
    sum = (sum >> 16) + (sum & 0xffff);
    return static_cast<uint16_t>(~sum & 0xffff);
}

std::array<unsigned char, 8> makeEchoRequest(uint16_t identifier, uint16_t sequence) {
    std::array<unsigned char, 8> m{8,
                                   0,
                                   0,
                                   0,
                                   static_cast<unsigned char>(identifier & 0xff),
                                   static_cast<unsigned char>(identifier >> 8),
                                   static_cast<unsigned char>(sequence & 0xff),
                                   static_cast<unsigned char>(sequence >> 8)};
    const uint16_t sum = icmpChecksum(m);
    m[2] = static_cast<unsigned char>(sum >> 8);
    m[3] = static_cast<unsigned char>(sum & 0xff);
    return m;
}

std::optional<EchoHeader> readEchoHeader(std::span<const unsigned char> icmp) {
    if (icmp.size() < 8) return std::nullopt;
    return EchoHeader{icmp[0], static_cast<uint16_t>(icmp[4] | (icmp[5] << 8)),
                      static_cast<uint16_t>(icmp[6] | (icmp[7] << 8))};
}

}  // namespace lm
