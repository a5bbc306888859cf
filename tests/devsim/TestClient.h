#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Ipv4.h"
#include "support/LoopbackPeer.h"

namespace lm::sim::test {

using lm::test::Conversation;
using lm::test::kStepLimit;
using lm::test::LoopbackPeer;

Ipv4 ip(std::string_view dotted);

struct JpegSize {
    unsigned width = 0;
    unsigned height = 0;
};
// Decodes every scanline with libjpeg; nullopt for anything that is not a complete JPEG.
std::optional<JpegSize> decodeJpeg(std::string_view bytes);

// One HTTP response as it came over the wire.
struct RawResponse {
    std::string wire;
    std::size_t reads = 0;
    bool closed = false;  // ended by the peer's close rather than by silence
    int status = 0;
    std::string head;  // status line and headers
    std::string body;  // raw, not de-chunked
    // Value of the first header of that name (case-insensitive); nullopt when absent.
    std::optional<std::string> header(std::string_view name) const;
};
// Reads everything the peer sends until it closes or stays silent.
RawResponse readResponse(Conversation& connection);
// Sends the raw request text and reads the response to the end.
RawResponse exchange(Ipv4 address, uint16_t port, std::string_view request);
RawResponse get(Ipv4 address, uint16_t port, std::string_view path);

// Removes chunked framing and counts the data chunks; nullopt when the framing is broken.
std::optional<std::string> dechunk(std::string_view body, std::size_t* chunks);

}  // namespace lm::sim::test
