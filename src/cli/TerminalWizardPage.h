#pragma once

#include <atomic>
#include <ostream>
#include <string>

#include "core/wizard/WizardPageUi.h"

namespace lm::cli {

// A wizard worker page on the terminal: status lines on standard error (unless quiet), a step bar
// redrawn in place when standard error is a terminal. What the worker does to the sheet's buttons
// is kept for the command to read.
class TerminalWizardPage : public WizardPageUi {
public:
    TerminalWizardPage(std::ostream& err, bool quiet, bool terminal);

    void setStatus(const std::string& text) override;
    void setProgressRange(int low, int high) override;
    void setProgress(int position) override;
    void showText(int id, bool shown) override;
    void setButtons(int) override {}
    void pressNext() override { nextPressed_ = true; }
    void pressCancel() override { cancelPressed_ = true; }
    void enableCancel(bool enabled) override { cancelEnabled_ = enabled; }
    void beep() override {}  // the exit status tells a script; the status line tells a person

    const std::string& lastStatus() const { return lastStatus_; }
    bool nextPressed() const { return nextPressed_; }
    bool cancelPressed() const { return cancelPressed_; }
    // Read by the interrupt handler: while the device saves and reboots, Ctrl-C waits.
    static bool cancelEnabled() { return cancelEnabled_.load(); }
    // Ends the bar's line, so that what is printed next starts on a line of its own.
    void breakLine();

private:
    std::ostream& err_;
    bool quiet_;
    bool terminal_;
    int high_ = 0;
    bool midLine_ = false;
    std::string lastStatus_;
    bool nextPressed_ = false;
    bool cancelPressed_ = false;
    static inline std::atomic<bool> cancelEnabled_{true};
};

}  // namespace lm::cli
