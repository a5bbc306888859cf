#pragma once

#include "ops/WorkerTask.h"

namespace lm {

// Control ids of the two dialogs that the workers and the windows share.
constexpr int kRebootStartButton = 1236;    // "Yes"
constexpr int kEraseStartButton = 1235;     // "Proceed"
constexpr int kRebootAfterwardsBox = 1234;  // "Reboot device afterwards"

// Clears the stored configuration on a logged-in telnet session, falling back to erasing the
// configuration flash when "config clear" is refused or unknown. Its outcome is not checked.
void EraseConfigSequence(TelnetLink& telnet);

// The workers of the Reboot and EraseConfig dialogs: the common opening, then their own steps.
void rebootWorker(WorkerTask& task);
void eraseWorker(WorkerTask& task);

}  // namespace lm
