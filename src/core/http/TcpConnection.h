#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/http/ByteSource.h"
#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm {

// One TCP connection of a fetch. Every connect, send and receive waits at most the time-out, and
// never past the fetch's budget.
class TcpConnection final : public ByteSource {
public:
    TcpConnection(Milliseconds timeout, Deadline budget) : timeout_(timeout), budget_(budget) {}

    // Connects to the first address the name resolves to.
    bool open(const std::string& host, uint16_t port);
    void close();
    // Open, with no failed or final receive and nothing unread: a new request may follow.
    bool reusable() const;
    // Bytes received since the connection was opened.
    std::size_t bytesReceived() const { return received_; }

    // Sends all bytes, one block per send.
    bool send(std::span<const unsigned char> bytes, std::size_t blockSize);
    Received receive(std::span<unsigned char> into) override;

private:
    Received receiveOnce(std::span<unsigned char> into);
    enum class Wait { ready, timedOut, failed };
    Wait waitFor(short events, const Deadline& step) const;

    Milliseconds timeout_;
    Deadline budget_;
    UniqueFd fd_;
    bool spent_ = false;  // the peer closed, or a receive failed and left the stream in doubt
    std::size_t received_ = 0;
};

}  // namespace lm
