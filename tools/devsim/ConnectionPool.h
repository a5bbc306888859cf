#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm::sim {

// The simulator's accepted connections, each served on a short-lived thread of its own. stopAll()
// shuts every socket down and joins every thread, so no thread outlives the simulator.
class ConnectionPool {
public:
    static constexpr std::size_t kMaxConnections = 4096;

    using Handler = std::function<void(int fd)>;

    ConnectionPool() = default;
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;
    ~ConnectionPool() { stopAll(); }

    // Accepts one waiting connection on a listening socket and serves it.
    void accept(int listenFd, Handler handler);
    // Serves an accepted connection on a thread of its own. Beyond kMaxConnections, or once
    // stopping, the connection is closed at once.
    void serve(UniqueFd connection, Handler handler);

    // Waits the given time unless the pool is stopping; false when it is.
    bool pause(Milliseconds time) const;
    bool stopping() const;

    void stopAll();

private:
    struct Entry {
        UniqueFd fd;
        std::thread thread;
        bool done = false;
    };

    void finish(Entry& entry);
    void reapFinished(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::list<Entry> entries_;
    bool stopping_ = false;
};

}  // namespace lm::sim
