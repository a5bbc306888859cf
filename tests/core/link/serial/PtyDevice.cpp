#include "PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace lm::test {

namespace {

// Guards the test against a link that never answers; not a speed limit.
constexpr int kGuardMs = 10000;

}  // namespace

PtyDevice::PtyDevice() {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    master_.reset(master);
    slave_.reset(slave);
    path_ = name;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
}

PtyDevice::~PtyDevice() {
    stop_ = true;
    if (later_.joinable()) later_.join();
    if (flood_.joinable()) flood_.join();
}

void PtyDevice::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(master_.get(), bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("pty write failed");
        pollfd p{master_.get(), POLLOUT, 0};
        if (::poll(&p, 1, kGuardMs) <= 0) throw std::runtime_error("pty stays full");
    }
}

void PtyDevice::sendLater(std::string bytes, std::chrono::milliseconds after) {
    later_ = std::thread([this, bytes = std::move(bytes), after] {
        std::this_thread::sleep_for(after);
        if (!stop_) send(bytes);
    });
}

void PtyDevice::startFlood(std::string unit) {
    std::string block;
    while (block.size() < 4096)
        block += unit;
    flood_ = std::thread([this, block = std::move(block)] {
        std::size_t offset = 0;
        while (!stop_) {
            const ssize_t n = ::write(master_.get(), block.data() + offset, block.size() - offset);
            if (n > 0) {
                offset = (offset + static_cast<std::size_t>(n)) % block.size();
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return;
            pollfd p{master_.get(), POLLOUT, 0};
            ::poll(&p, 1, 10);  // short, so the stop flag is seen
        }
    });
}

void PtyDevice::stopFlood() {
    stop_ = true;
    if (flood_.joinable()) flood_.join();
    stop_ = false;
}

std::string PtyDevice::receive(std::size_t count) {
    std::string received;
    char buffer[4096];
    while (received.size() < count) {
        pollfd p{master_.get(), POLLIN, 0};
        if (::poll(&p, 1, kGuardMs) <= 0) break;
        const ssize_t n = ::read(master_.get(), buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return received;
}

void PtyDevice::hangUpLater(std::chrono::milliseconds after) {
    later_ = std::thread([this, after] {
        std::this_thread::sleep_for(after);
        master_.reset();
    });
}

}  // namespace lm::test
