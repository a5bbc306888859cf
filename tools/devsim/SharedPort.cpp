#include "devsim/SharedPort.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace lm::sim {

namespace {

constexpr int kAttempts = 64;
constexpr int kBufferBytes = 1 << 20;
constexpr int kBacklog = 1024;

// A bound (and for TCP listening) socket, or an invalid one with errno set.
UniqueFd bindOne(Transport transport, const Endpoint& endpoint, uint16_t port) {
    const int type = (transport == Transport::Udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC | SOCK_NONBLOCK;
    UniqueFd fd(::socket(AF_INET, type, 0));
    if (!fd) return fd;
    const int one = 1;
    if (endpoint.reuse) ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (transport == Transport::Udp) {
        // Many devices answer one probe at once; a full buffer must never cost a reply.
        ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
        ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
        ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    }
    const auto sa = makeSockaddr(endpoint.address, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return UniqueFd();
    if (transport == Transport::Tcp && ::listen(fd.get(), kBacklog) != 0) return UniqueFd();
    return fd;
}

uint16_t portOf(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

const char* kindOf(Transport transport) {
    return transport == Transport::Udp ? "UDP" : "TCP";
}

std::string bindProblem(Transport transport, Ipv4 address, uint16_t port, int why) {
    return std::string("cannot bind ") + kindOf(transport) + " " + dotted(address) + ":" +
           std::to_string(port) + ": " + std::strerror(why);
}

int intOption(int fd, int name) {
    int value = 0;
    socklen_t length = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, name, &value, &length) == 0 ? value : 0;
}

}  // namespace

std::optional<SharedPort> bindSharedPort(Transport transport, std::span<const Endpoint> endpoints,
                                         uint16_t port, std::string* error) {
    if (endpoints.empty()) return SharedPort{port, {}};
    for (int attempt = 0; attempt < (port == 0 ? kAttempts : 1); ++attempt) {
        SharedPort shared;
        shared.port = port;
        bool clash = false;
        for (const Endpoint& endpoint : endpoints) {
            UniqueFd fd = bindOne(transport, endpoint, shared.port);
            if (!fd) {
                const int why = errno;
                if (port == 0 && why == EADDRINUSE && !shared.sockets.empty()) {
                    clash = true;  // the chosen port is taken elsewhere: try another
                    break;
                }
                if (error) *error = bindProblem(transport, endpoint.address, shared.port, why);
                return std::nullopt;
            }
            if (shared.port == 0) shared.port = portOf(fd.get());
            shared.sockets.push_back(std::move(fd));
        }
        if (!clash) return shared;
    }
    if (error) *error = std::string("found no ") + kindOf(transport) + " port free on every device address";
    return std::nullopt;
}

bool moveSockets(std::span<const int> fds, Ipv4 to, std::string* error) {
    std::vector<UniqueFd> moved;
    for (int fd : fds) {
        const Transport transport = intOption(fd, SO_TYPE) == SOCK_DGRAM ? Transport::Udp : Transport::Tcp;
        const uint16_t port = portOf(fd);
        UniqueFd fresh = bindOne(transport, {to, intOption(fd, SO_REUSEADDR) != 0}, port);
        if (!fresh) {
            if (error) *error = bindProblem(transport, to, port, errno);
            return false;
        }
        moved.push_back(std::move(fresh));
    }
    // dup3 closes the old socket and keeps close-on-exec; non-blocking belongs to the socket itself.
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (::dup3(moved[i].get(), fds[i], O_CLOEXEC) < 0) {
            if (error) *error = std::string("cannot replace a socket: ") + std::strerror(errno);
            return false;
        }
    return true;
}

}  // namespace lm::sim
