#include "core/platform/IcmpSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

#include "core/platform/Socket.h"

namespace lm {

std::optional<IcmpSocket> IcmpSocket::open() {
    if (auto raw = open(Kind::Raw)) return raw;
    return open(Kind::Datagram);
}

std::optional<IcmpSocket> IcmpSocket::open(Kind kind) {
    const int type = kind == Kind::Raw ? SOCK_RAW : SOCK_DGRAM;
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!fd) return std::nullopt;
    return IcmpSocket(std::move(fd), kind);
}

bool IcmpSocket::enableBroadcast() {
    int one = 1;
    return ::setsockopt(fd_.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) == 0;
}

void IcmpSocket::growReceiveBuffer(int bytes) {
    lm::growReceiveBuffer(fd_.get(), bytes);
}

bool IcmpSocket::send(Ipv4 destination, std::span<const unsigned char> message) const {
    const auto sa = makeSockaddr(destination, 0);
    ssize_t sent;
    do {
        sent = ::sendto(fd_.get(), message.data(), message.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(message.size());
}

std::optional<IcmpSocket::Packet> IcmpSocket::receive(std::size_t maxBytes) const {
    std::vector<unsigned char> buffer(maxBytes);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t got;
    do {
        got = ::recvfrom(fd_.get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sa), &len);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(got));

    Packet packet;
    packet.from = sa.sin_addr.s_addr;
    std::size_t header = 0;
    if (kind_ == Kind::Raw) {
        // The IPv4 header length comes from the packet itself, so options cannot shift the fields.
        if (buffer.empty()) return std::nullopt;
        header = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
        if (header < 20 || header > buffer.size()) return std::nullopt;
    }
    packet.icmp.assign(buffer.begin() + static_cast<std::ptrdiff_t>(header), buffer.end());
    return packet;
}

}  // namespace lm
