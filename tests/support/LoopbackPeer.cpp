#include "support/LoopbackPeer.h"

#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "core/platform/Socket.h"

namespace lm::test {

namespace {

constexpr int kStepMs = static_cast<int>(kStepLimit.count());

// Waits until fd shows one of the events, the stop descriptor fires or the time is up; true only
// for fd. A negative stop descriptor never fires.
bool waitOn(int fd, short events, int stopFd, int timeoutMs) {
    for (;;) {
        pollfd polls[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(polls, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 && polls[1].revents == 0 && polls[0].revents != 0;
    }
}

void signal(const UniqueFd& eventFd) {
    const uint64_t one = 1;
    if (::write(eventFd.get(), &one, sizeof one) != sizeof one) std::abort();
}

UniqueFd boundSocket(int type, std::string_view address) {
    const auto ip = parseIpv4(address);
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    const auto sa = makeSockaddr(ip.value_or(0), 0);
    if (!ip || !fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        throw std::runtime_error("test peer cannot bind " + std::string(address));
    return fd;
}

uint16_t localPort(int fd) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    return ntohs(sa.sin_port);
}

int socketType(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 ? type : 0;
}

}  // namespace

uint16_t freeUdpPort() {
    auto socket = UdpSocket::open();
    return socket && socket->bind(htonl(INADDR_LOOPBACK), 0) ? socket->localPort() : 0;
}

Conversation::Conversation(UniqueFd fd, LoopbackPeer* owner)
    : fd_(std::move(fd)), owner_(owner), type_(socketType(fd_.get())) {}

Conversation Conversation::connect(Ipv4 address, uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto sa = makeSockaddr(address, port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) fd.reset();
    return Conversation(std::move(fd));
}

Conversation Conversation::udp(std::string_view address, uint16_t to) {
    Conversation c(boundSocket(SOCK_DGRAM, address));
    c.talkTo(to);
    return c;
}

bool Conversation::waitFor(short events, int timeoutMs) const {
    return fd_ && waitOn(fd_.get(), events, owner_ ? owner_->stop_.get() : -1, timeoutMs);
}

bool Conversation::readSome(int timeoutMs) {
    if (closed_ || !waitFor(POLLIN, timeoutMs)) return false;
    char block[65536];
    socklen_t length = sizeof to_;
    const ssize_t got = type_ == SOCK_DGRAM ? ::recvfrom(fd_.get(), block, sizeof block, 0,
                                                         reinterpret_cast<sockaddr*>(&to_), &length)
                                            : ::read(fd_.get(), block, sizeof block);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got < 0 || (got == 0 && type_ != SOCK_DGRAM)) {
        closed_ = true;
        return false;
    }
    inbox_.append(block, static_cast<std::size_t>(got));
    ++reads_;
    if (owner_) {
        std::lock_guard lock(owner_->mutex_);
        owner_->received_.append(block, static_cast<std::size_t>(got));
    }
    return true;
}

bool Conversation::send(std::string_view bytes) {
    if (type_ == SOCK_DGRAM)
        return ::sendto(fd_.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_),
                        sizeof to_) == static_cast<ssize_t>(bytes.size());
    while (!bytes.empty()) {
        if (!waitFor(POLLOUT, kStepMs)) return false;
        const ssize_t sent = writeSome(bytes);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

ssize_t Conversation::writeSome(std::string_view bytes) {
    return type_ ? ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                 : ::write(fd_.get(), bytes.data(), bytes.size());
}

void Conversation::talkTo(uint16_t port, Ipv4 address) {
    to_ = makeSockaddr(address, port);
}

std::optional<std::string> Conversation::receive() {
    if (cursor_ == inbox_.size() && !readSome(kStepMs)) return std::nullopt;
    std::string piece = inbox_.substr(cursor_);
    cursor_ = inbox_.size();
    return piece;
}

std::optional<std::string> Conversation::until(std::string_view text) {
    const Deadline deadline(kStepLimit);
    for (;;) {
        if (const auto at = inbox_.find(text, cursor_); at != std::string::npos) {
            std::string head = inbox_.substr(cursor_, at + text.size() - cursor_);
            cursor_ = at + text.size();
            return head;
        }
        if (deadline.expired() || !readSome(deadline.remainingMs())) {
            fail("expected \"" + std::string(text) + "\", got \"" + unread() + '"');
            return std::nullopt;
        }
    }
}

bool Conversation::quiet(Milliseconds time) {
    const std::size_t before = inbox_.size();
    const Deadline deadline(time);
    while (readSome(deadline.remainingMs()) && !deadline.expired()) {
    }
    return inbox_.size() == before;
}

bool Conversation::holdUntilClosed() {
    while (readSome(kStepMs)) {
    }
    return closed_;
}

void Conversation::sendForever(std::string_view unit) {
    while (fd_) {
        while (waitFor(POLLIN, 0) && readSome(0)) {
        }
        if (!waitFor(POLLOUT | POLLIN, kStepMs)) return;
        const ssize_t sent = writeSome(unit);
        if (sent < 0 && errno != EINTR && errno != EAGAIN) return;
        // A closed connection reads as end of stream.
        pollfd p{fd_.get(), POLLIN | POLLRDHUP, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
    }
}

int Conversation::exchangeForever(std::string_view unit, std::string_view answer) {
    int answers = 0;
    while (send(unit)) {
        std::size_t at;
        while ((at = inbox_.find(answer, cursor_)) == std::string::npos) {
            if (!readSome(kStepMs)) return answers;
        }
        cursor_ = at + answer.size();
        ++answers;
    }
    return answers;
}

bool Conversation::awaitDelivered() {
    for (int round = 0; round < 1000; ++round) {
        int unacknowledged = 0;
        if (::ioctl(fd_.get(), SIOCOUTQ, &unacknowledged) != 0) break;
        if (unacknowledged == 0) return true;
        if (owner_ && waitOn(owner_->stop_.get(), POLLIN, -1, 10)) break;  // polls the queue, not a clock
    }
    fail("bytes never acknowledged");
    return false;
}

bool Conversation::awaitRelease() {
    if (owner_ && owner_->takeSignal(owner_->gate_)) return true;
    fail("never released");
    return false;
}

void Conversation::notify() {
    if (owner_) signal(owner_->notice_);
}

void Conversation::reset() {
    const linger abort{1, 0};
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    fd_.reset();
}

void Conversation::fail(std::string what) {
    if (!owner_) {
        ADD_FAILURE() << what;
        return;
    }
    std::lock_guard lock(owner_->mutex_);
    owner_->failures_.push_back(std::move(what));
}

LoopbackPeer::LoopbackPeer(int backlog) : socket_(boundSocket(SOCK_STREAM | SOCK_NONBLOCK, "127.0.0.1")) {
    if (::listen(socket_.get(), backlog) != 0) throw std::runtime_error("test peer cannot listen");
    port_ = localPort(socket_.get());
}

LoopbackPeer::LoopbackPeer(Script script, Transport transport, std::string_view address)
    : script_(std::move(script)),
      socket_(boundSocket(transport == Transport::Udp ? SOCK_DGRAM : SOCK_STREAM, address)) {
    if (transport != Transport::Udp && ::listen(socket_.get(), 4) != 0)
        throw std::runtime_error("test peer cannot listen");
    port_ = localPort(socket_.get());
    start(transport != Transport::Udp, transport == Transport::TcpEach);
}

LoopbackPeer::LoopbackPeer(Script script, UniqueFd fd) : script_(std::move(script)), socket_(std::move(fd)) {
    start(false, false);
}

// Over a listener the script waits for its connection; over anything else it starts at once.
void LoopbackPeer::start(bool listener, bool every) {
    stop_.reset(::eventfd(0, EFD_CLOEXEC));
    gate_.reset(::eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE));
    notice_.reset(::eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE));
    if (!stop_ || !gate_ || !notice_) throw std::runtime_error("test peer has no event descriptors");
    thread_ = std::thread([this, listener, every] {
        if (!listener) {
            Conversation c(std::move(socket_), this);
            script_(c);
            return;
        }
        // One connection waits a step at most; a stream of them goes on until the peer stops.
        while (waitOn(socket_.get(), POLLIN, stop_.get(), every ? -1 : kStepMs)) {
            Conversation c(UniqueFd(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC)), this);
            if (c.valid()) {
                ++served_;
                script_(c);
            }
            if (!every) return;
        }
    });
}

LoopbackPeer::~LoopbackPeer() {
    if (stop_) signal(stop_);
    if (thread_.joinable()) thread_.join();
}

int LoopbackPeer::taken() {
    int count = 0;
    while (UniqueFd(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC)).valid())
        ++count;
    return count;
}

bool LoopbackPeer::takeSignal(const UniqueFd& eventFd) const {
    uint64_t one = 0;
    return waitOn(eventFd.get(), POLLIN, stop_.get(), kStepMs) &&
           ::read(eventFd.get(), &one, sizeof one) == sizeof one;
}

void LoopbackPeer::release() {
    signal(gate_);
}

bool LoopbackPeer::awaitNotice() {
    return takeSignal(notice_);
}

std::vector<std::string> LoopbackPeer::finish() {
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return failures_;
}

std::string LoopbackPeer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

}  // namespace lm::test
