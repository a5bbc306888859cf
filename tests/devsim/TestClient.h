#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4.h"
#include "platform/UniqueFd.h"

namespace lm::sim::test {

inline constexpr int kWaitMs = 5000;  // upper bound for anything that should arrive at once

struct DecodedJpeg {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<unsigned char> rgb;
};

// Decodes with libjpeg; nullopt for anything that is not a complete JPEG.
std::optional<DecodedJpeg> decodeJpeg(std::string_view bytes);

// A TCP connection to addr:port, blocking; invalid when refused.
UniqueFd connectTo(Ipv4 address, uint16_t port);

// Everything the peer sends until it closes (or kWaitMs of silence), and how many reads it took.
struct Received {
    std::string bytes;
    std::size_t reads = 0;
    bool closed = false;  // ended by the peer's close rather than by silence
};
Received receiveAll(int fd);

// One response as it came over the wire.
struct RawResponse {
    std::string wire;
    std::size_t reads = 0;
    int status = 0;
    std::string head;  // status line and headers
    std::string body;  // raw, not de-chunked
    // Value of the first header of that name (case-insensitive); nullopt when absent.
    std::optional<std::string> header(std::string_view name) const;
};
RawResponse parseResponse(const Received& received);

// Sends the raw request text and reads the response to the end.
RawResponse exchange(Ipv4 address, uint16_t port, std::string_view request);
RawResponse get(Ipv4 address, uint16_t port, std::string_view path);

// Removes chunked framing and counts the data chunks; nullopt when the framing is broken.
std::optional<std::string> dechunk(std::string_view body, std::size_t* chunks);

Ipv4 ip(std::string_view dotted);

// Reads a byte stream (a socket or a pseudo-terminal) up to expected texts, keeping what came after.
class StreamReader {
public:
    explicit StreamReader(int fd) : fd_(fd) {}

    // Everything up to and including the first `text`; nullopt when the stream closes or stays
    // silent for kWaitMs first (what arrived is then in `seen()`).
    std::optional<std::string> until(std::string_view text);
    // Reads until the peer closes; false when it stays open for kWaitMs.
    bool closes();
    // Bytes received and not yet handed out.
    const std::string& seen() const { return buffer_; }

private:
    bool readSome();

    int fd_;
    std::string buffer_;
};

}  // namespace lm::sim::test
