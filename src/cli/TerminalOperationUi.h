#pragma once

#include <ostream>
#include <string>

#include "ops/OperationUi.h"

namespace lm::cli {

// The window of a maintenance operation on the terminal: the fields are the command's options,
// status lines go to standard error as they come, the final message to standard output.
class TerminalOperationUi : public OperationUi {
public:
    TerminalOperationUi(std::string address, std::string password, bool rebootAfterwards, std::ostream& out,
                        std::ostream& err);

    void setStatus(const std::string& text) override;
    void setProgressRange(int, int) override {}
    void setProgress(int) override {}
    void enableControl(int, bool) override {}
    int messageBox(const std::string& text, const std::string& title, Icon icon, Buttons buttons) override;
    void beep() override {}  // the exit status tells a script; the failure text tells a person
    void finish() override { finished_ = true; }
    std::string fieldText(int id) override;
    bool isChecked(int id) override;

    // Exit status of the operation: 0 finished, 1 no answer, 2 password refused or missing.
    int exitStatus() const;

private:
    std::string address_;
    std::string password_;
    bool rebootAfterwards_;
    std::ostream& out_;
    std::ostream& err_;
    std::string lastStatus_;
    bool finished_ = false;
};

}  // namespace lm::cli
