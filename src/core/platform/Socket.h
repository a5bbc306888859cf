#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/platform/Ipv4.h"
#include "core/platform/UniqueFd.h"

namespace lm {

struct Datagram {
    std::vector<unsigned char> bytes;
    Ipv4 from = 0;
    uint16_t fromPort = 0;
};

// A UDP socket (close-on-exec). An invalid socket fails every call.
class UdpSocket {
public:
    static std::optional<UdpSocket> open();

    bool enableBroadcast();
    bool enableAddressReuse();
    // Asks for a receive buffer of at least the given size (root may exceed the system cap).
    void growReceiveBuffer(int bytes);
    bool bind(Ipv4 address, uint16_t port);
    uint16_t localPort() const;
    // Sends and reads return at once instead of waiting: a full send buffer fails the send
    // (sendBufferFull() tells it apart) and a read with nothing queued gives nullopt.
    bool setNonBlocking();
    // Keeps the ICMP errors that datagrams sent from here draw, for receiveRefusal().
    bool reportErrors();
    // The destination of a datagram refused with "port unreachable", taken from the queued errors
    // (other errors are dropped); nullopt when none is queued.
    std::optional<Ipv4> receiveRefusal() const;

    bool sendTo(Ipv4 address, uint16_t port, std::span<const unsigned char> payload) const;
    bool sendTo(Ipv4 address, uint16_t port, std::string_view payload) const;
    // Reads one datagram of at most maxBytes (longer ones are cut); nullopt when the read fails.
    std::optional<Datagram> receive(std::size_t maxBytes) const;

    int fd() const { return fd_.get(); }

private:
    explicit UdpSocket(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

// True when the errno of a failed send says the send buffer or a device queue was full.
bool sendBufferFull(int error);

// The PC's own address that the routing table would send from to reach destination; nothing is sent.
std::optional<Ipv4> localAddressToward(Ipv4 destination);

// Waits until one of the descriptors is readable or the time runs out (negative: forever).
// Returns the readable flags, one per descriptor; nullopt when the wait failed.
std::optional<std::vector<bool>> waitReadable(std::span<const int> fds, int timeoutMs);

// Sends all of data on a connected stream socket, retrying short sends; false when a send fails.
bool sendAll(int fd, std::string_view data);

// Asks for a socket receive buffer of at least the given size, forcing past the system cap
// where the process may.
void growReceiveBuffer(int fd, int bytes);

}  // namespace lm
