#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/Ipv4.h"
#include "core/platform/Timing.h"

namespace lm::sim {

// CRC-32 (IEEE 802.3, as zlib computes it), continued from `crc` over `data`.
uint32_t crc32(std::string_view data, uint32_t crc = 0);

// What one fetch brought in. The image itself is not kept: only its size and checksum.
struct TftpResult {
    bool complete = false;
    uint64_t bytes = 0;
    uint32_t blocks = 0;
    uint32_t crc32 = 0;
    std::string error;  // why it stopped, when not complete
};

// The device's side of a TFTP read (octet mode), as the flash tool uses it: one read request, then
// every data block acknowledged in turn, from a socket on the device's own address. Nothing is
// ever sent twice on a time-out: the PC's server reads any repeated packet as a broken transfer.
class TftpClient {
public:
    static constexpr uint64_t kMaxImageBytes = 64ull << 20;

    struct Faults {
        std::optional<uint16_t> lostAck;    // this block's acknowledgement is never sent
        std::optional<uint16_t> repeatAck;  // this block is answered with the previous acknowledgement
        Milliseconds ackDelay{0};           // every acknowledgement goes out this late
    };

    // cancelled is asked between waits; a true answer ends the fetch.
    TftpClient(Ipv4 localAddress, Faults faults, Milliseconds timeout, std::function<bool()> cancelled);

    // Fetches file from server:port. progress gets the byte count after every block, data each
    // block's bytes in order. whole gets the result of a complete fetch before the last block is
    // acknowledged: once the server has that acknowledgement, whatever whole did is in place.
    TftpResult fetch(Ipv4 server, uint16_t port, std::string_view file,
                     const std::function<void(uint64_t bytes)>& progress = {},
                     const std::function<void(std::string_view bytes)>& data = {},
                     const std::function<void(const TftpResult&)>& whole = {});

private:
    Ipv4 localAddress_;
    Faults faults_;
    Milliseconds timeout_;
    std::function<bool()> cancelled_;
};

}  // namespace lm::sim
