#include "core/platform/Socket.h"

#include <fcntl.h>
#include <linux/errqueue.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace lm {

std::optional<UdpSocket> UdpSocket::open() {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd) return std::nullopt;
    return UdpSocket(std::move(fd));
}

bool UdpSocket::enableBroadcast() {
    int one = 1;
    return ::setsockopt(fd_.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) == 0;
}

bool UdpSocket::enableAddressReuse() {
    int one = 1;
    return ::setsockopt(fd_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0;
}

void UdpSocket::growReceiveBuffer(int bytes) {
    lm::growReceiveBuffer(fd_.get(), bytes);
}

bool UdpSocket::bind(Ipv4 address, uint16_t port) {
    const auto sa = makeSockaddr(address, port);
    return ::bind(fd_.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

uint16_t UdpSocket::localPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

bool UdpSocket::setNonBlocking() {
    const int flags = ::fcntl(fd_.get(), F_GETFL);
    return flags >= 0 && ::fcntl(fd_.get(), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool UdpSocket::reportErrors() {
    int one = 1;
    return ::setsockopt(fd_.get(), IPPROTO_IP, IP_RECVERR, &one, sizeof one) == 0;
}

std::optional<Ipv4> UdpSocket::receiveRefusal() const {
    while (true) {
        sockaddr_in to{};
        std::array<unsigned char, 512> control{};
        msghdr message{};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        ssize_t got;
        do {
            got = ::recvmsg(fd_.get(), &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        } while (got < 0 && errno == EINTR);
        if (got < 0) return std::nullopt;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
            sock_extended_err error{};
            std::memcpy(&error, CMSG_DATA(c), sizeof error);
            constexpr uint8_t kDestinationUnreachable = 3, kPortUnreachable = 3;
            if (error.ee_origin == SO_EE_ORIGIN_ICMP && error.ee_type == kDestinationUnreachable &&
                error.ee_code == kPortUnreachable && message.msg_namelen >= sizeof to)
                return to.sin_addr.s_addr;
        }
    }
}

bool sendBufferFull(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
}

bool UdpSocket::sendTo(Ipv4 address, uint16_t port, std::span<const unsigned char> payload) const {
    const auto sa = makeSockaddr(address, port);
    ssize_t sent;
    // An ICMP error drawn by an earlier datagram (a refusal, an unreachable host) fails the next
    // send, which clears it: that send goes again, once.
    bool earlierError = false;
    do {
        sent = ::sendto(fd_.get(), payload.data(), payload.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        if (sent < 0 && errno != EINTR && !sendBufferFull(errno) && !earlierError) {
            earlierError = true;
            errno = EINTR;
        }
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(payload.size());
}

bool UdpSocket::sendTo(Ipv4 address, uint16_t port, std::string_view payload) const {
    return sendTo(address, port,
                  std::span(reinterpret_cast<const unsigned char*>(payload.data()), payload.size()));
}

std::optional<Ipv4> localAddressToward(Ipv4 destination) {
    const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd) return std::nullopt;
    // Connecting a UDP socket only picks the route.
    const auto to = makeSockaddr(destination, 9);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return std::nullopt;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) return std::nullopt;
    return local.sin_addr.s_addr;
}

std::optional<Datagram> UdpSocket::receive(std::size_t maxBytes) const {
    Datagram d;
    d.bytes.resize(maxBytes);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t got;
    do {
        got =
            ::recvfrom(fd_.get(), d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), &len);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return std::nullopt;
    d.bytes.resize(static_cast<std::size_t>(got));
    d.from = sa.sin_addr.s_addr;
    d.fromPort = ntohs(sa.sin_port);
    return d;
}

std::optional<std::vector<bool>> waitReadable(std::span<const int> fds, int timeoutMs) {
    std::vector<pollfd> polls;
    polls.reserve(fds.size());
    for (int fd : fds)
        polls.push_back(pollfd{fd, POLLIN, 0});
    int n;
    do {
        n = ::poll(polls.data(), polls.size(), timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return std::nullopt;
    std::vector<bool> readable;
    readable.reserve(fds.size());
    for (const auto& p : polls)
        readable.push_back((p.revents & (POLLIN | POLLERR | POLLHUP)) != 0);
    return readable;
}

bool sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void growReceiveBuffer(int fd, int bytes) {
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

}  // namespace lm
