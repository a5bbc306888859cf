#include "cli/TerminalProgress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace lm::cli {

namespace {

constexpr int kBarWidth = 30;

std::string rateText(uint64_t bytes, double seconds) {
    char text[32];
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds / 1024.0 : 0.0;
    std::snprintf(text, sizeof text, "%.1f KiB/s", rate);
    return text;
}

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& err, uint64_t totalBytes, uint64_t bytesPerStep,
                                   bool terminal)
    : err_(err), total_(totalBytes), perStep_(bytesPerStep), terminal_(terminal) {}

void TerminalProgress::start() {
    started_ = MonoClock::now();
    quartersShown_ = 0;
}

void TerminalProgress::show(int step) {
    const uint64_t bytes = std::min<uint64_t>(static_cast<uint64_t>(std::max(step, 0)) * perStep_, total_);
    const int percent = total_ == 0 ? 100 : static_cast<int>(bytes * 100 / total_);
    const double seconds = std::chrono::duration<double>(MonoClock::now() - started_).count();
    const std::string figures = std::to_string(percent) + "%  " + std::to_string(bytes) + " of " +
                                std::to_string(total_) + " bytes  " + rateText(bytes, seconds);
    if (terminal_) {
        const int filled = percent * kBarWidth / 100;
        err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << figures
             << std::flush;
        midLine_ = true;
        return;
    }
    if (percent / 25 <= quartersShown_) return;
    quartersShown_ = percent / 25;
    err_ << "Sent " << figures << '\n' << std::flush;
}

void TerminalProgress::breakLine() {
    if (!midLine_) return;
    err_ << '\n' << std::flush;
    midLine_ = false;
}

}  // namespace lm::cli
