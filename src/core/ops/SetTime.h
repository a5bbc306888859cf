#pragma once

#include <optional>
#include <string>

#include "core/ops/WorkerTask.h"

namespace lm {

struct SetTimeRequest {
    // Taken as the session's password before logging in; else the session's password as it stands.
    std::optional<std::string> password;
};

// Attempts at the clock over the network; the wizard's settings writer makes three.
constexpr int kSetTimeAttempts = 4;

// The Set Time worker: logs in, sets the clock, tells the outcome in the status line and in a
// message box, and enables OK when it is done.
OperationResult setTimeWorker(WorkerTask& task, const SetTimeRequest& request);

}  // namespace lm
