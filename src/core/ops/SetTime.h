#pragma once

#include <optional>
#include <string>

#include "core/link/Outcome.h"
#include "core/link/TelnetLink.h"
#include "core/ops/WorkerTask.h"

namespace lm {

struct SetTimeRequest {
    // Taken as the session's password before logging in; else the session's password as it stands.
    std::optional<std::string> password;
};

// Sets the clock of a logged-in device over telnet, with up to four attempts; see
// setClockOverTelnet for the outcomes.
Outcome fixTime(TelnetLink& telnet, const Timing& timing, std::string& deviceWords);

// The Set Time worker: logs in, sets the clock, tells the outcome in the status line and in a
// message box, and enables OK when it is done.
OperationResult setTimeWorker(WorkerTask& task, const SetTimeRequest& request);

}  // namespace lm
