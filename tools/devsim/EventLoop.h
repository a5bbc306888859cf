#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "core/platform/UniqueFd.h"

namespace lm::sim {

// One thread's poll loop over the simulator's sockets. Every service watches its descriptors here
// before the loop runs; handlers of one wake-up run in the order they were watched.
class EventLoop {
public:
    using Handler = std::function<void()>;

    EventLoop();
    bool valid() const { return wake_.valid(); }

    // Calls handler on the loop thread whenever fd is readable. Only before run().
    void watch(int fd, Handler handler);

    // Runs until stop().
    void run();
    // May be called from any thread, also before run(); run() then returns at once.
    void stop();
    // From any thread: the loop looks at every descriptor afresh, so a number that now names
    // another socket is watched from then on (a poll under way keeps the old socket alive).
    void wake();

private:
    UniqueFd wake_;
    std::atomic<bool> stopping_{false};
    std::vector<int> fds_;
    std::vector<Handler> handlers_;
};

}  // namespace lm::sim
