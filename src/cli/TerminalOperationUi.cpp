#include "cli/TerminalOperationUi.h"

#include <algorithm>

#include "cli/TerminalPasswordPrompt.h"
#include "cli/TerminalText.h"

namespace lm::cli {

namespace {

std::string withLineEnd(const std::string& text) {
    return text.empty() || text.back() != '\n' ? text + '\n' : text;
}

}  // namespace

TerminalOperationUi::TerminalOperationUi(std::map<int, std::string> fields, std::map<int, bool> checks,
                                         bool assumeYes, std::ostream& out, std::ostream& err)
    : fields_(std::move(fields)), checks_(std::move(checks)), assumeYes_(assumeYes), out_(out), err_(err) {}

void TerminalOperationUi::write(std::ostream& to, const std::string& text) {
    if (lines_ == nullptr) {
        to << text << std::flush;
        return;
    }
    std::string prefixed;
    for (std::size_t begin = 0; begin < text.size();) {
        const auto end = std::min(text.find('\n', begin), text.size() - 1) + 1;
        prefixed += linePrefix_ + text.substr(begin, end - begin);
        begin = end;
    }
    const std::lock_guard lock(*lines_);
    to << prefixed << std::flush;
}

void TerminalOperationUi::setStatus(const std::string& text) {
    lastStatus_ = text;
    if (!text.empty()) lastMessage_ = text;
    if (quiet_) return;
    if (progress_) progress_->breakLine();
    // A status line may carry the device's words.
    write(err_, terminalSafe(text) + '\n');
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
    if (!text.empty()) lastMessage_ = text;
    if (icon == Icon::Error)
        write(err_, errorLines(text));
    else
        write(err_, withLineEnd(text));
    if (buttons == Buttons::Ok) return kOk;
    const int yes = buttons == Buttons::YesNo ? kYes : kOk;
    const int no = buttons == Buttons::YesNo ? kNo : kCancel;
    if (assumeYes_) return yes;
    if (lines_ != nullptr) {
        write(err_, title + ": answered No (--yes answers Yes)\n");
        return no;
    }
    const auto answer =
        askYesNo(title + ": " + (buttons == Buttons::YesNo ? "yes or no? [y/N] " : "go on? [y/N] "));
    return answer.value_or(false) ? yes : no;
}

void TerminalOperationUi::showResult(const std::string& text, const std::string&) {
    if (progress_) progress_->breakLine();
    if (!text.empty()) lastMessage_ = text;
    // In a batch the table is the result; each device's words stay beside its status lines.
    write(lines_ == nullptr ? out_ : err_, withLineEnd(text));
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
