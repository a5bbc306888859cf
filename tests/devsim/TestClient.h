#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Ipv4.h"
#include "platform/Socket.h"
#include "platform/UniqueFd.h"

namespace lm::sim::test {

inline constexpr int kWaitMs = 5000;  // upper bound for anything that should arrive at once

Ipv4 ip(std::string_view dotted);

struct JpegSize {
    unsigned width = 0;
    unsigned height = 0;
};
// Decodes every scanline with libjpeg; nullopt for anything that is not a complete JPEG.
std::optional<JpegSize> decodeJpeg(std::string_view bytes);

// The next datagram on the socket; nullopt when none comes within kWaitMs.
std::optional<Datagram> receiveWithin(const UdpSocket& socket);
std::string textOf(const Datagram& datagram);

// A TCP connection to addr:port, blocking; invalid when refused.
UniqueFd connectTo(Ipv4 address, uint16_t port);

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
    // How many reads returned data so far.
    std::size_t reads() const { return reads_; }

private:
    bool readSome();  // false when the stream closed or stayed silent

    int fd_;
    std::string buffer_;
    std::size_t reads_ = 0;
    bool closed_ = false;
};

// One HTTP response as it came over the wire.
struct RawResponse {
    std::string wire;
    std::size_t reads = 0;
    bool closed = false;  // ended by the peer's close rather than by kWaitMs of silence
    int status = 0;
    std::string head;  // status line and headers
    std::string body;  // raw, not de-chunked
    // Value of the first header of that name (case-insensitive); nullopt when absent.
    std::optional<std::string> header(std::string_view name) const;
};
// Reads everything the peer sends until it closes or stays silent for kWaitMs.
RawResponse readResponse(int fd);
// Sends the raw request text and reads the response to the end.
RawResponse exchange(Ipv4 address, uint16_t port, std::string_view request);
RawResponse get(Ipv4 address, uint16_t port, std::string_view path);

// Removes chunked framing and counts the data chunks; nullopt when the framing is broken.
std::optional<std::string> dechunk(std::string_view body, std::size_t* chunks);

}  // namespace lm::sim::test
