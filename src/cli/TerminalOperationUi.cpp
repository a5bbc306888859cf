#include "TerminalOperationUi.h"

#include "TerminalPasswordPrompt.h"
#include "TerminalText.h"

namespace lm::cli {

TerminalOperationUi::TerminalOperationUi(std::map<int, std::string> fields, std::map<int, bool> checks,
                                         bool assumeYes, std::ostream& out, std::ostream& err)
    : fields_(std::move(fields)), checks_(std::move(checks)), assumeYes_(assumeYes), out_(out), err_(err) {}

void TerminalOperationUi::setStatus(const std::string& text) {
    lastStatus_ = text;
    if (quiet_) return;
    if (progress_) progress_->breakLine();
    // A status line may carry the device's words.
    err_ << terminalSafe(text) << '\n' << std::flush;
}

void TerminalOperationUi::setProgressRange(int, int) {
    if (progress_) progress_->start();
}

void TerminalOperationUi::setProgress(int position) {
    if (progress_ && !quiet_) progress_->show(position);
}

int TerminalOperationUi::messageBox(const std::string& text, const std::string& title, Icon icon,
                                    Buttons buttons) {
    if (progress_) progress_->breakLine();
    std::ostream& to = icon == Icon::Information ? out_ : err_;
    if (icon == Icon::Error) {
        to << errorLines(text);
    } else {
        to << text;
        if (text.empty() || text.back() != '\n') to << '\n';
    }
    to.flush();
    if (buttons == Buttons::Ok) return kOk;
    const int yes = buttons == Buttons::YesNo ? kYes : kOk;
    const int no = buttons == Buttons::YesNo ? kNo : kCancel;
    if (assumeYes_) return yes;
    const auto answer =
        askYesNo(title + ": " + (buttons == Buttons::YesNo ? "yes or no? [y/N] " : "go on? [y/N] "));
    return answer.value_or(false) ? yes : no;
}

std::string TerminalOperationUi::fieldText(int id) {
    const auto found = fields_.find(id);
    return found == fields_.end() ? std::string() : found->second;
}

void TerminalOperationUi::setFieldText(int id, const std::string& text) {
    fields_[id] = text;
    if (id == statusField_) setStatus(text);
}

bool TerminalOperationUi::isChecked(int id) {
    const auto found = checks_.find(id);
    return found != checks_.end() && found->second;
}

}  // namespace lm::cli
