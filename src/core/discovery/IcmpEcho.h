#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace lm {

// Internet checksum (RFC 1071) of the 16-bit words read in network order; a trailing odd byte
// is not summed. The result goes into the message high byte first.
uint16_t icmpChecksum(std::span<const unsigned char> bytes);

// The 8-byte echo request of the scan: identifier and sequence least significant byte first.
std::array<unsigned char, 8> makeEchoRequest(uint16_t identifier, uint16_t sequence);

struct EchoHeader {
    uint8_t type = 0;
    uint16_t identifier = 0;
    uint16_t sequence = 0;
};

// Reads the echo fields of an ICMP message; nullopt when it is shorter than 8 bytes.
std::optional<EchoHeader> readEchoHeader(std::span<const unsigned char> icmp);

}  // namespace lm
