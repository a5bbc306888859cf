#include "devsim/ProbeSocket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace lm::sim {

namespace {

constexpr std::size_t kProbeBytes = 2048;  // the payload is not looked at
constexpr int kSendTries = 50;
constexpr int kSendWaitMs = 20;

}  // namespace

std::optional<Probe> readProbe(int fd) {
    unsigned char buffer[kProbeBytes];
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from{};
    iovec data{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(fd, &message, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0 || from.sin_family != AF_INET) return std::nullopt;
    Probe probe{{from.sin_addr.s_addr, ntohs(from.sin_port)}, 0};
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            probe.to = info.ipi_addr.s_addr;
        }
    return probe;
}

bool sendDatagram(int fd, ProbeSource to, std::string_view bytes, Ipv4 source) {
    sockaddr_in target = makeSockaddr(to.address, to.port);
    iovec data{const_cast<char*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))]{};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (source != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = source;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    for (int attempt = 0; attempt < kSendTries; ++attempt) {
        const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(bytes.size())) return true;
        if (sent >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS))
            return false;
        pollfd writable{fd, POLLOUT, 0};
        ::poll(&writable, 1, kSendWaitMs);
    }
    return false;
}

}  // namespace lm::sim
