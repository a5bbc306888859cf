#pragma once

#include "ops/WorkerTask.h"

namespace lm {

// Clears the stored configuration on a logged-in telnet session, falling back to erasing the
// configuration flash when "config clear" is refused or unknown. Its outcome is not checked.
void EraseConfigSequence(TelnetLink& telnet);

// The workers of the Reboot and EraseConfig dialogs: the common opening, then their own steps.
void rebootWorker(WorkerTask& task);
void eraseWorker(WorkerTask& task);

}  // namespace lm
