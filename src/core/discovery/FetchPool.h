#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform/Timing.h"

namespace lm {

// Runs tasks, each under its record's key, on at most a fixed number of threads; the tasks beyond
// that wait their turn in a FetchQueue, where the user looks first. Threads start as tasks arrive
// and end once they have been idle for a while, so a flood of tasks costs queue entries, not
// threads, and a quiet program holds none.
//
// Nobody waits for the threads, not even at exit: whatever a task reaches must live until the
// process ends. The pool's own state is shared with its threads, so a copy of the pool may go at
// any time; the tasks already given still run.
class FetchPool {
public:
    explicit FetchPool(std::size_t maxThreads, Milliseconds idleTime = Milliseconds(2000));

    // Queues the task, starting a thread for it when none is free and the bound allows. False when
    // no thread can be started and none is left to run it; the task is then dropped.
    bool post(uint64_t key, std::function<void()> task);
    // The keys whose waiting tasks go first, in that order (FetchQueue::setOrder).
    void setOrder(std::vector<uint64_t> keys);
    // Forgets the waiting task of a record that is gone; one already running finishes.
    void drop(uint64_t key);

private:
    struct State;
    static void work(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace lm
