#pragma once

#include "core/link/Outcome.h"

namespace lm::cli {

// One exit status table for every command.
enum ExitStatus : int {
    kExitDone = 0,          // done
    kExitFailed = 1,        // failed, no answer or a broken link; a question answered No
    kExitRefused = 2,       // refused by the device: password, "Bad command", "Invalid argument", ...
    kExitFindings = 3,      // ran to the end but found failures or changes
    kExitUsage = 64,        // bad arguments, or input refused before anything was sent
    kExitInterrupted = 130  // interrupted
};

constexpr int exitStatusFor(Outcome outcome) {
    switch (outcome) {
        case Outcome::Ok:
            return kExitDone;
        case Outcome::Refused:
            return kExitRefused;
        case Outcome::NoAnswer:
        case Outcome::Cancelled:
        case Outcome::Failed:
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace lm::cli
