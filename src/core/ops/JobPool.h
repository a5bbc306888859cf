#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

namespace lm {

// Work on many devices at once: up to `jobs` threads (the caller's among them) take the indices
// 0..count-1 in turn until they run out or someone stops the pool. A job keeps its own state (its
// Session) for every index it takes.
class JobPool {
public:
    using Job = std::function<void(JobPool&)>;

    // Runs job on min(jobs, count) threads and returns when every one has ended. Fewer threads than
    // asked for (none could be started) still get through every index.
    static void run(std::size_t count, int jobs, const Job& job);

    // The next index for the calling job, or nullopt when there is none left or the pool stopped.
    std::optional<std::size_t> next();
    // No more indices for anyone; the jobs finish the ones they hold.
    void stop() { stopped_ = true; }

private:
    explicit JobPool(std::size_t count) : count_(count) {}

    std::size_t count_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopped_{false};
};

}  // namespace lm
