#pragma once

#include <cstdint>
#include <ostream>

#include "core/platform/Timing.h"

namespace lm::cli {

// How far a file transfer got, on standard error: on a terminal a bar redrawn in place (percent,
// bytes, rate); otherwise a plain line at each quarter, so a log keeps a few lines, not thousands.
class TerminalProgress {
public:
    // Each step of the position stands for bytesPerStep bytes of totalBytes.
    TerminalProgress(std::ostream& err, uint64_t totalBytes, uint64_t bytesPerStep, bool terminal);

    // A new range starts the clock for the rate.
    void start();
    void show(int step);
    // Ends the bar's line, so that whatever is printed next starts on a line of its own.
    void breakLine();

private:
    std::ostream& err_;
    uint64_t total_;
    uint64_t perStep_;
    bool terminal_;
    bool midLine_ = false;
    int quartersShown_ = 0;
    MonoClock::time_point started_ = MonoClock::now();
};

}  // namespace lm::cli
