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

// Each status with what it means, as the manual lists them.
struct ExitStatusRow {
    int status;
    const char* meaning;
};
inline constexpr ExitStatusRow kExitStatusTable[] = {
    {kExitDone, "Done, and the device confirmed it."},
    {kExitFailed,
     "Failed: no answer, a broken link, a file the device cannot open, or a question answered no."},
    {kExitRefused,
     "Refused by the device: the password, \"Bad command\", \"Invalid argument\", \"Permission denied\"."},
    {kExitFindings, "Ran to the end but found failures or changes (a production run, a diff, a batch)."},
    {kExitUsage,
     "Usage error: an unknown command or option, a missing argument, a value out of range, or input refused "
     "before anything was sent."},
    {kExitInterrupted, "Interrupted (Ctrl-C, SIGTERM, a hang-up)."},
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
