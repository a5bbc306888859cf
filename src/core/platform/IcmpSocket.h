#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/platform/Ipv4.h"
#include "core/platform/UniqueFd.h"

namespace lm {

// An ICMP socket for echo requests. A raw socket needs CAP_NET_RAW; without it Linux may still
// allow an unprivileged ICMP datagram socket (net.ipv4.ping_group_range). A datagram socket sees
// only the replies to its own requests, with the identifier chosen by the kernel.
class IcmpSocket {
public:
    enum class Kind { Raw, Datagram };

    // Tries a raw socket, then a datagram socket; nullopt when neither may be opened.
    static std::optional<IcmpSocket> open();
    // Opens only the given kind (used to open follow-up sockets of the same kind as the first).
    static std::optional<IcmpSocket> open(Kind kind);

    Kind kind() const { return kind_; }
    // True when the kernel sets and checks the echo identifier itself.
    bool kernelOwnsIdentifier() const { return kind_ == Kind::Datagram; }

    bool enableBroadcast();
    void growReceiveBuffer(int bytes);
    // Sends one ICMP message; the result is reported, though callers may ignore it.
    bool send(Ipv4 destination, std::span<const unsigned char> message) const;

    struct Packet {
        std::vector<unsigned char> icmp;  // the ICMP message, without any IP header
        Ipv4 from = 0;
    };
    // Reads one packet of at most maxBytes (IP header included on a raw socket).
    std::optional<Packet> receive(std::size_t maxBytes) const;

    int fd() const { return fd_.get(); }

private:
    IcmpSocket(UniqueFd fd, Kind kind) : fd_(std::move(fd)), kind_(kind) {}
    UniqueFd fd_;
    Kind kind_;
};

}  // namespace lm
