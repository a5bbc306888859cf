#pragma once

#include <atomic>

namespace lm {

// What a worker and its window share. It lives in a shared_ptr held by both, so it outlives the
// window: the window sets closing and waits a while for running to clear; the worker checks closing
// before every request to the window and clears running as its last act.
struct OperationState {
    std::atomic<bool> running{false};
    std::atomic<bool> closing{false};
};

}  // namespace lm
