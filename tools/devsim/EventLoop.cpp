#include "devsim/EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>

namespace lm::sim {

EventLoop::EventLoop() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void EventLoop::watch(int fd, Handler handler) {
    fds_.push_back(fd);
    handlers_.push_back(std::move(handler));
}

void EventLoop::run() {
    std::vector<pollfd> polls;
    polls.reserve(fds_.size() + 1);
    polls.push_back(pollfd{wake_.get(), POLLIN, 0});
    for (int fd : fds_)
        polls.push_back(pollfd{fd, POLLIN, 0});
    while (!stopping_.load()) {
        const int n = ::poll(polls.data(), polls.size(), -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (polls[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const auto got = ::read(wake_.get(), &count, sizeof count);
        }
        for (std::size_t i = 1; i < polls.size() && !stopping_.load(); ++i)
            if (polls[i].revents & (POLLIN | POLLERR | POLLHUP)) handlers_[i - 1]();
    }
}

void EventLoop::stop() {
    stopping_.store(true);
    wake();
}

void EventLoop::wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
}

}  // namespace lm::sim
