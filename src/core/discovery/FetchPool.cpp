#include "core/discovery/FetchPool.h"

#include "core/discovery/FetchQueue.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace lm {

struct FetchPool::State {
    State(std::size_t max, Milliseconds idleFor) : maxThreads(max), idleTime(idleFor) {}

    const std::size_t maxThreads;
    const Milliseconds idleTime;
    std::mutex mutex;
    std::condition_variable wake;
    FetchQueue tasks;
    std::size_t threads = 0;
    std::size_t idle = 0;
};

FetchPool::FetchPool(std::size_t maxThreads, Milliseconds idleTime)
    : state_(std::make_shared<State>(std::max<std::size_t>(maxThreads, 1), idleTime)) {}

bool FetchPool::post(uint64_t key, std::function<void()> task) {
    std::lock_guard lock(state_->mutex);
    state_->tasks.push(key, std::move(task));
    if (state_->tasks.size() <= state_->idle) {
        state_->wake.notify_one();
        return true;
    }
    if (state_->threads < state_->maxThreads) {
        try {
            std::thread([state = state_] { work(state); }).detach();
            ++state_->threads;
        } catch (const std::system_error&) {
            // No new thread: the ones running take the task in turn.
        }
    }
    if (state_->threads > 0) return true;
    state_->tasks.drop(key);
    return false;
}

void FetchPool::setOrder(std::vector<uint64_t> keys) {
    std::lock_guard lock(state_->mutex);
    state_->tasks.setOrder(std::move(keys));
}

void FetchPool::drop(uint64_t key) {
    std::lock_guard lock(state_->mutex);
    state_->tasks.drop(key);
}

void FetchPool::work(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        ++state->idle;
        const bool woken = state->wake.wait_for(lock, state->idleTime, [&] { return !state->tasks.empty(); });
        --state->idle;
        if (!woken) break;
        std::function<void()> task = state->tasks.pop();
        lock.unlock();
        // Nothing may escape a thread; a task reports its own failures.
        try {
            task();
        } catch (...) {
        }
        task = nullptr;  // what it holds goes before the lock is taken again
        lock.lock();
    }
    --state->threads;
}

}  // namespace lm
