#pragma once

#include <functional>
#include <string>

#include "core/link/DeviceSession.h"
#include "core/link/Outcome.h"
#include "core/ops/WorkerTask.h"

namespace lm {

struct RebootRequest : DeviceLogin {};
struct EraseRequest : DeviceLogin {
    // Asked once the device confirmed the erase, so a choice changed while it ran still counts.
    std::function<bool()> rebootAfterwards = [] { return true; };
};

// The line of a command's output in which the device refuses or fails it ("Permission denied",
// "not found", "No such file", ...); empty when there is none.
std::string refusalIn(const std::string& output);

// Clears the stored configuration on a session logged in over the network, falling back to erasing the
// configuration flash when "config clear" is refused or unknown. Ok only when the device confirmed:
// "cleared" followed by its prompt, or a prompt after the flash tool without a refusal (Refused,
// with the device's line in deviceWords); NoAnswer when it confirmed nothing.
Outcome eraseConfigSequence(DeviceSession& device, std::string* deviceWords = nullptr);

// The workers of the Reboot and EraseConfig dialogs: the common opening, then their own steps.
OperationResult rebootWorker(WorkerTask& task, const RebootRequest& request);
OperationResult eraseWorker(WorkerTask& task, const EraseRequest& request);

}  // namespace lm
