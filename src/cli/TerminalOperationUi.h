#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/TerminalProgress.h"
#include "core/ops/OperationUi.h"

namespace lm::cli {

// The window of an operation on the terminal: its fields and check boxes are the command's
// options, status lines and message boxes go to standard error as they come, the final message
// of a success to standard output.
// A question is asked on the terminal, answered Yes by --yes, and answered No without a terminal.
class TerminalOperationUi : public OperationUi {
public:
    TerminalOperationUi(std::map<int, std::string> fields, std::map<int, bool> checks, bool assumeYes,
                        std::ostream& out, std::ostream& err);

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
    // What a failed worker ended with: its last status line or message box.
    const std::string& lastMessage() const { return lastMessage_; }
    // Shows the progress bar's positions as a transfer of totalBytes, bytesPerStep for each step.
    void showTransfer(uint64_t totalBytes, uint64_t bytesPerStep, bool terminal) {
        progress_.emplace(err_, totalBytes, bytesPerStep, terminal);
    }

    void setStatus(const std::string& text) override;
    void setProgressRange(int, int) override;
    void setProgress(int position) override;
    void enableControl(int, bool) override {}
    int messageBox(const std::string& text, const std::string& title, Icon icon, Buttons buttons) override;
    void showResult(const std::string& text, const std::string& title) override;
    void beep() override {}  // the exit status tells a script; the failure text tells a person
    void finish() override {}
    std::string fieldText(int id) override;
    void setFieldText(int id, const std::string& text) override;
    // A field that is the window's status line: what goes into it is shown as status lines are.
    void setStatusField(int id) { statusField_ = id; }
    bool isChecked(int id) override;
    void setChecked(int id, bool checked) override { checks_[id] = checked; }

private:
    void write(std::ostream& to, const std::string& text);

    std::map<int, std::string> fields_;
    std::map<int, bool> checks_;
    bool assumeYes_;
    bool quiet_ = false;
    std::string lastStatus_;
    std::string lastMessage_;
    std::string linePrefix_;
    std::mutex* lines_ = nullptr;
    std::optional<int> statusField_;
    std::ostream& out_;
    std::ostream& err_;
    std::optional<TerminalProgress> progress_;
};

}  // namespace lm::cli
