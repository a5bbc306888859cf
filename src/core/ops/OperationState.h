#pragma once

#include <atomic>

namespace lm {

// What one worker run shares with its window. It lives in a shared_ptr held by both, so it
// outlives the window, and each run has its own, so a window that starts anew cannot revive a
// worker it told to stop. The window sets closing (and may wait a while for running to clear); the
// worker checks closing before every request to the window and clears running as its last act.
struct OperationState {
    std::atomic<bool> running{false};
    std::atomic<bool> closing{false};
};

}  // namespace lm
