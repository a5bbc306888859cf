#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/TerminalProgress.h"
#include "core/ops/WorkerChannel.h"

namespace lm::cli {

// A worker's window on the terminal: status lines and boxes go to standard error as they come, the
// final message of a success to standard output. A question is asked on the terminal, answered Yes
// by --yes, and answered No without a terminal. What a wizard worker does to the sheet's buttons is
// kept for the command to read.
class TerminalChannel : public WorkerChannel {
public:
    // An operation's window: --yes answers its questions.
    TerminalChannel(bool assumeYes, std::ostream& out, std::ostream& err);
    // A wizard worker's page: a step bar redrawn in place when standard error is a terminal.
    TerminalChannel(std::ostream& err, bool quiet, bool terminal);

    // Quiet: status lines and progress are not shown; questions and answers still are, and a
    // command tells its failure with lastStatus().
    void setQuiet(bool quiet) { quiet_ = quiet; }
    bool quiet() const { return quiet_; }
    // The last status line, shown or not: a worker that failed ends with its failure there.
    const std::string& lastStatus() const { return lastStatus_; }
    // One of several devices worked on at once: every line starts with host and is written whole
    // under lock, message boxes go to standard error beside the status lines, and a question is
    // answered by --yes, else No, without asking while other jobs write.
    void setBatchDevice(const std::string& host, std::mutex& lock) {
        linePrefix_ = host + ": ";
        lines_ = &lock;
    }
    // Shows the progress bar's positions as a transfer of totalBytes, bytesPerStep for each step.
    void showTransfer(uint64_t totalBytes, uint64_t bytesPerStep, bool terminal) {
        transfer_.emplace(err_, totalBytes, bytesPerStep, terminal);
    }
    // Ends the bar's line, so that what is printed next starts on a line of its own.
    void breakLine();

    bool nextPressed() const { return nextPressed_; }
    bool cancelPressed() const { return cancelPressed_; }
    // Read by the interrupt handler: while the device saves and reboots, Ctrl-C waits.
    static bool cancelEnabled() { return cancelEnabled_.load(); }

    void status(const std::string& text) override;
    void progressRange(int low, int high) override;
    void progress(int position) override;
    void beep() override {}  // the exit status tells a script; the failure text tells a person
    Answer ask(const Question& question) override;
    void showResult(const std::string& text, const std::string& title) override;

    void moveNext() override { nextPressed_ = true; }
    void cancelRun() override { cancelPressed_ = true; }
    void allowCancel(bool allowed) override { cancelEnabled_ = allowed; }
    void showNotice(Notice notice, bool shown) override;

private:
    void write(std::ostream& to, const std::string& text);

    bool assumeYes_ = false;
    bool quiet_ = false;
    bool stepBar_ = false;
    int high_ = 0;
    bool midLine_ = false;  // the step bar's line is open
    std::string lastStatus_;
    std::string linePrefix_;
    std::mutex* lines_ = nullptr;
    std::ostream& out_;
    std::ostream& err_;
    std::optional<TerminalProgress> transfer_;
    bool nextPressed_ = false;
    bool cancelPressed_ = false;
    static inline std::atomic<bool> cancelEnabled_{true};
};

}  // namespace lm::cli
