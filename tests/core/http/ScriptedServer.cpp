#include "ScriptedServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "platform/Ipv4.h"

namespace lm::test {

namespace {

// Waits until fd shows one of the events or the stop descriptor fires; false on stop or error.
bool waitFor(int fd, short events, int stopFd) {
    for (;;) {
        pollfd polls[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(polls, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 && polls[1].revents == 0 && polls[0].revents != 0;
    }
}

}  // namespace

bool ScriptedServer::Peer::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (!waitFor(fd_, POLLOUT, stopFd_)) return false;
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void ScriptedServer::Peer::sendForever(std::string_view unit) {
    while (send(unit)) {
    }
}

void ScriptedServer::Peer::holdUntilClientCloses() {
    char sink[512];
    while (waitFor(fd_, POLLIN, stopFd_) && ::recv(fd_, sink, sizeof sink, 0) > 0) {
    }
}

bool ScriptedServer::Peer::pause(std::chrono::milliseconds time) {
    pollfd stop{stopFd_, POLLIN, 0};
    return ::poll(&stop, 1, static_cast<int>(time.count())) == 0;
}

ScriptedServer::Script ScriptedServer::reply(std::string bytes) {
    return [bytes = std::move(bytes)](Peer& peer, const std::string&) {
        peer.send(bytes);
        return false;
    };
}

ScriptedServer::ScriptedServer(Script script, const std::string& address)
    : script_(std::move(script)),
      address_(address),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      stop_(::eventfd(0, EFD_CLOEXEC)) {
    const auto ip = parseIpv4(address);
    auto sa = makeSockaddr(ip.value_or(0), 0);
    socklen_t length = sizeof sa;
    if (!ip || !listener_ || !stop_ ||
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(listener_.get(), SOMAXCONN) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        throw std::runtime_error("test server cannot listen on " + address);
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    const uint64_t one = 1;
    if (::write(stop_.get(), &one, sizeof one) != sizeof one) std::abort();
    thread_.join();
}

std::string ScriptedServer::url(std::string_view path) const {
    return "http://" + address_ + ':' + std::to_string(port_) + std::string(path);
}

std::vector<std::string> ScriptedServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedServer::run() {
    while (waitFor(listener_.get(), POLLIN, stop_.get())) {
        UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection) continue;
        ++connections_;
        serve(connection.get());
    }
}

void ScriptedServer::serve(int fd) {
    Peer peer(fd, stop_.get());
    for (;;) {
        const auto request = readRequest(fd);
        if (!request) return;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        if (!script_(peer, *request)) return;
    }
}

// The head up to the empty line, and as many body bytes as its Content-Length names.
std::optional<std::string> ScriptedServer::readRequest(int fd) const {
    std::string request;
    std::size_t wanted = std::string::npos;
    while (request.size() < wanted && request.size() < 1024 * 1024) {
        if (!waitFor(fd, POLLIN, stop_.get())) return std::nullopt;
        char block[4096];
        const ssize_t got = ::recv(fd, block, sizeof block, 0);
        if (got <= 0) return std::nullopt;
        request.append(block, static_cast<std::size_t>(got));
        const auto headEnd = request.find("\r\n\r\n");
        if (headEnd == std::string::npos) continue;
        const auto length = request.find("\r\nContent-Length: ");
        wanted =
            headEnd + 4 + (length < headEnd ? std::strtoul(request.c_str() + length + 18, nullptr, 10) : 0);
    }
    return request;
}

}  // namespace lm::test
