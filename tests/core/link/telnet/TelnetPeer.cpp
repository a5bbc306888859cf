#include "TelnetPeer.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "platform/Ipv4.h"
#include "platform/Timing.h"

namespace lm::test {

namespace {
constexpr int kStepLimitMs = 10'000;
}

bool TelnetPeer::waitFor(int fd, short events, int timeoutMs) const {
    for (;;) {
        pollfd polls[2] = {{fd, events, 0}, {stop_.get(), POLLIN, 0}};
        const int n = ::poll(polls, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 && polls[1].revents == 0 && polls[0].revents != 0;
    }
}

bool TelnetPeer::Connection::readSome(int timeoutMs) {
    if (!fd_ || !owner_.waitFor(fd_.get(), POLLIN, timeoutMs)) return false;
    char block[4096];
    const ssize_t got = ::recv(fd_.get(), block, sizeof block, 0);
    if (got <= 0) return false;
    inbox_.append(block, static_cast<std::size_t>(got));
    std::lock_guard lock(owner_.mutex_);
    owner_.received_.append(block, static_cast<std::size_t>(got));
    return true;
}

bool TelnetPeer::Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (!fd_ || !owner_.waitFor(fd_.get(), POLLOUT, kStepLimitMs)) return false;
        const ssize_t sent = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool TelnetPeer::Connection::expect(std::string_view text) {
    const Deadline deadline{Milliseconds(kStepLimitMs)};
    for (;;) {
        if (const auto at = inbox_.find(text, cursor_); at != std::string::npos) {
            cursor_ = at + text.size();
            return true;
        }
        if (deadline.expired() || !readSome(deadline.remainingMs())) {
            fail("expected \"" + std::string(text) + "\", got \"" + inbox_.substr(cursor_) + '"');
            return false;
        }
    }
}

bool TelnetPeer::Connection::quiet(std::chrono::milliseconds time) {
    const std::size_t before = inbox_.size();
    const Deadline deadline(time);
    while (!deadline.expired() && readSome(deadline.remainingMs())) {
    }
    return inbox_.size() == before;
}

void TelnetPeer::Connection::sendForever(std::string_view unit) {
    while (fd_) {
        while (owner_.waitFor(fd_.get(), POLLIN, 0) && readSome(0)) {
        }
        if (!owner_.waitFor(fd_.get(), POLLOUT | POLLIN, kStepLimitMs)) return;
        const ssize_t sent = ::send(fd_.get(), unit.data(), unit.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EINTR && errno != EAGAIN) return;
        // A closed link reads as end of stream.
        pollfd p{fd_.get(), POLLIN | POLLRDHUP, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
    }
}

int TelnetPeer::Connection::exchangeForever(std::string_view unit, std::string_view answer) {
    int answers = 0;
    while (send(unit)) {
        std::size_t at;
        while ((at = inbox_.find(answer, cursor_)) == std::string::npos) {
            if (!readSome(kStepLimitMs)) return answers;
        }
        cursor_ = at + answer.size();
        ++answers;
    }
    return answers;
}

bool TelnetPeer::takeSignal(int fd) const {
    uint64_t one = 0;
    return waitFor(fd, POLLIN, kStepLimitMs) && ::read(fd, &one, sizeof one) == sizeof one;
}

bool TelnetPeer::Connection::awaitRelease() {
    if (owner_.takeSignal(owner_.gate_.get())) return true;
    fail("never released");
    return false;
}

void TelnetPeer::Connection::notify() {
    const uint64_t one = 1;
    if (::write(owner_.notice_.get(), &one, sizeof one) != sizeof one) std::abort();
}

bool TelnetPeer::Connection::awaitDelivered() {
    for (int round = 0; round < 1000; ++round) {
        int unacknowledged = 0;
        if (::ioctl(fd_.get(), SIOCOUTQ, &unacknowledged) != 0) break;
        if (unacknowledged == 0) return true;
        if (!owner_.waitFor(owner_.stop_.get(), POLLIN, 10)) continue;  // polls the queue, not a clock
        break;
    }
    fail("bytes never acknowledged");
    return false;
}

void TelnetPeer::Connection::holdUntilClosed() {
    while (readSome(kStepLimitMs)) {
    }
}

void TelnetPeer::Connection::close() {
    fd_.reset();
}

void TelnetPeer::Connection::reset() {
    const linger abort{1, 0};
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    fd_.reset();
}

void TelnetPeer::Connection::fail(std::string what) {
    std::lock_guard lock(owner_.mutex_);
    owner_.failures_.push_back(std::move(what));
}

TelnetPeer::TelnetPeer(Script script)
    : script_(std::move(script)),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      stop_(::eventfd(0, EFD_CLOEXEC)),
      gate_(::eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE)),
      notice_(::eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE)) {
    auto sa = makeSockaddr(htonl(INADDR_LOOPBACK), 0);
    socklen_t length = sizeof sa;
    if (!listener_ || !stop_ || !gate_ || !notice_ ||
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(listener_.get(), 4) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        throw std::runtime_error("telnet test peer cannot listen");
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { run(); });
}

TelnetPeer::~TelnetPeer() {
    const uint64_t one = 1;
    if (::write(stop_.get(), &one, sizeof one) != sizeof one) std::abort();
    if (thread_.joinable()) thread_.join();
}

void TelnetPeer::run() {
    if (!waitFor(listener_.get(), POLLIN, kStepLimitMs)) return;
    Connection connection(*this, UniqueFd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC)));
    if (!connection.fd_) return;
    script_(connection);
}

void TelnetPeer::release() {
    const uint64_t one = 1;
    if (::write(gate_.get(), &one, sizeof one) != sizeof one) std::abort();
}

bool TelnetPeer::awaitNotice() {
    return takeSignal(notice_.get());
}

std::vector<std::string> TelnetPeer::finish() {
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return failures_;
}

std::string TelnetPeer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

}  // namespace lm::test
