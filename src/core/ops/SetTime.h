#pragma once

#include <string>

#include "core/link/Outcome.h"
#include "core/link/TelnetLink.h"
#include "core/ops/WorkerTask.h"

namespace lm {

// Control ids of the Set Time dialog that its worker uses.
constexpr int kSetTimeProgress = 1226;
constexpr int kSetTimeOk = 1;

// Sets the clock of a logged-in device over telnet, with up to four attempts; see
// setClockOverTelnet for the outcomes.
Outcome FixTime(TelnetLink& telnet, const Timing& timing, std::string& deviceWords);

// The Set Time worker: logs in with the session's password as it stands, sets the clock, tells
// the outcome in the status line and in a message box, and enables OK when it is done.
Outcome setTimeWorker(WorkerTask& task);

}  // namespace lm
