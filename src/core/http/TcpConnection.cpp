#include "core/http/TcpConnection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace lm {

bool TcpConnection::open(const std::string& host, uint16_t port) {
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);

    UniqueFd fd(
        ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol));
    if (!fd) return false;
    fd_ = std::move(fd);
    // An interrupted connect goes on in the background, like one in progress.
    if (::connect(fd_.get(), found->ai_addr, found->ai_addrlen) != 0) {
        int error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            socklen_t length = sizeof error;
            if (waitFor(POLLOUT, Deadline(timeout_)) != Wait::ready ||
                ::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = ETIMEDOUT;
        }
        if (error != 0) {
            close();
            return false;
        }
    }
    return true;
}

void TcpConnection::close() {
    fd_.reset();
    spent_ = false;
    received_ = 0;
}

bool TcpConnection::reusable() const {
    if (!fd_ || spent_) return false;
    pollfd p{fd_.get(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

bool TcpConnection::send(std::span<const unsigned char> bytes, std::size_t blockSize) {
    blockSize = std::max<std::size_t>(blockSize, 1);
    while (!bytes.empty()) {
        auto block = bytes.first(std::min(blockSize, bytes.size()));
        bytes = bytes.subspan(block.size());
        const Deadline step(timeout_);
        while (!block.empty()) {
            const ssize_t sent = ::send(fd_.get(), block.data(), block.size(), MSG_NOSIGNAL);
            if (sent > 0) {
                block = block.subspan(static_cast<std::size_t>(sent));
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (waitFor(POLLOUT, step) != Wait::ready) return false;
            } else {
                return false;
            }
        }
    }
    return true;
}

Received TcpConnection::receive(std::span<unsigned char> into) {
    const Received got = receiveOnce(into);
    spent_ = spent_ || got.status != ReceiveStatus::data;
    received_ += got.count;
    return got;
}

Received TcpConnection::receiveOnce(std::span<unsigned char> into) {
    const Deadline step(timeout_);
    for (;;) {
        const ssize_t got = ::recv(fd_.get(), into.data(), into.size(), 0);
        if (got > 0) return {ReceiveStatus::data, static_cast<std::size_t>(got)};
        if (got == 0) return {ReceiveStatus::closed};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return {ReceiveStatus::failed};
        switch (waitFor(POLLIN, step)) {
            case Wait::ready:
                break;
            case Wait::timedOut:
                return {budget_.expired() ? ReceiveStatus::outOfTime : ReceiveStatus::failed};
            case Wait::failed:
                return {ReceiveStatus::failed};
        }
    }
}

TcpConnection::Wait TcpConnection::waitFor(short events, const Deadline& step) const {
    if (!fd_) return Wait::failed;
    for (;;) {
        pollfd p{fd_.get(), events, 0};
        const int n = ::poll(&p, 1, std::min(step.remainingMs(), budget_.remainingMs()));
        if (n > 0) return Wait::ready;
        if (n == 0) return Wait::timedOut;
        if (errno != EINTR) return Wait::failed;
    }
}

}  // namespace lm
