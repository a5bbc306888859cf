#include "devsim/DiscoveryResponder.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace lm::sim {

namespace {

constexpr std::size_t kProbeBytes = 2048;  // the payload is not looked at
constexpr int kSendTries = 50;
constexpr int kSendWaitMs = 20;

}  // namespace

std::optional<ProbeSource> readProbe(int fd) {
    unsigned char buffer[kProbeBytes];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t got;
    do {
        got = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0 || from.sin_family != AF_INET) return std::nullopt;
    return ProbeSource{from.sin_addr.s_addr, ntohs(from.sin_port)};
}

DiscoveryResponder::DiscoveryResponder(const DeviceConfig& device, UniqueFd socket, uint16_t port,
                                       std::function<bool()> awake)
    : socket_(std::move(socket)),
      port_(port),
      reply_(replyOf(device)),
      answersProbe_(device.answersProbe),
      awake_(std::move(awake)) {}

void DiscoveryResponder::attach(EventLoop& loop) {
    loop.watch(socket_.get(), [this] { receive(); });
}

void DiscoveryResponder::receive() {
    if (const auto from = readProbe(socket_.get())) answer(*from);
}

void DiscoveryResponder::answer(ProbeSource from) {
    probes_.fetch_add(1);
    // Probes come from ephemeral ports. A datagram from the discovery port is another device's
    // reply; answering it would start two devices answering each other for ever.
    if (!answersProbe_ || from.port == port_ || from.port == 0) return;
    if (awake_ && !awake_()) return;
    const sockaddr_in to = makeSockaddr(from.address, from.port);
    // Counted before it leaves, so whoever holds the reply also sees it counted.
    replies_.fetch_add(1);
    // A full send buffer is waited out rather than costing the reply.
    for (int attempt = 0; attempt < kSendTries; ++attempt) {
        const ssize_t sent = ::sendto(socket_.get(), reply_.data(), reply_.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent == static_cast<ssize_t>(reply_.size())) return;
        if (sent >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS))
            break;
        pollfd writable{socket_.get(), POLLOUT, 0};
        ::poll(&writable, 1, kSendWaitMs);
    }
    replies_.fetch_sub(1);
}

}  // namespace lm::sim
