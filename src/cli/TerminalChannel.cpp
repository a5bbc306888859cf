#include "cli/TerminalChannel.h"

#include <algorithm>

#include "cli/TerminalPasswordPrompt.h"
#include "cli/TerminalText.h"

namespace lm::cli {

namespace {

constexpr int kBarWidth = 30;

std::string withLineEnd(const std::string& text) {
    return text.empty() || text.back() != '\n' ? text + '\n' : text;
}

}  // namespace

TerminalChannel::TerminalChannel(bool assumeYes, std::ostream& out, std::ostream& err)
    : assumeYes_(assumeYes), out_(out), err_(err) {}

TerminalChannel::TerminalChannel(std::ostream& err, bool quiet, bool terminal)
    : quiet_(quiet), stepBar_(terminal), out_(err), err_(err) {
    cancelEnabled_ = true;
}

void TerminalChannel::write(std::ostream& to, const std::string& text) {
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

void TerminalChannel::breakLine() {
    if (transfer_) transfer_->breakLine();
    if (!midLine_) return;
    err_ << "\r\033[K" << std::flush;
    midLine_ = false;
}

void TerminalChannel::status(const std::string& text) {
    lastStatus_ = text;
    if (quiet_) return;
    breakLine();
    // A status line may carry the device's words.
    write(err_, terminalSafe(text) + '\n');
}

void TerminalChannel::progressRange(int, int high) {
    high_ = high;
    if (transfer_) transfer_->start();
}

void TerminalChannel::progress(int position) {
    if (quiet_) return;
    if (transfer_) {
        transfer_->show(position);
        return;
    }
    if (!stepBar_ || high_ <= 0) return;
    const int shown = std::clamp(position, 0, high_);
    const int filled = shown * kBarWidth / high_;
    err_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] " << shown << '/'
         << high_ << std::flush;
    midLine_ = true;
}

Answer TerminalChannel::ask(const Question& question) {
    breakLine();
    if (question.icon == Question::Icon::Error)
        write(err_, errorLines(question.text));
    else
        write(err_, withLineEnd(question.text));
    if (question.choices == Choices::Ok) return Answer::Ok;
    const bool yesNo = question.choices == Choices::YesNo;
    const Answer yes = yesNo ? Answer::Yes : Answer::Ok;
    const Answer no = neutralAnswer(question.choices);
    if (assumeYes_) return yes;
    if (lines_ != nullptr) {
        write(err_, question.title + ": answered No (--yes answers Yes)\n");
        return no;
    }
    const auto answer = askYesNo(question.title + ": " + (yesNo ? "yes or no? [y/N] " : "go on? [y/N] "));
    return answer.value_or(false) ? yes : no;
}

void TerminalChannel::showResult(const std::string& text, const std::string&) {
    breakLine();
    // In a batch the table is the result; each device's words stay beside its status lines.
    write(lines_ == nullptr ? out_ : err_, withLineEnd(text));
}

void TerminalChannel::showNotice(Notice notice, bool shown) {
    if (!shown || notice != Notice::RomWarning) return;
    breakLine();
    err_ << "Warning: the device's ROM version could not be read or is older than 1.0; its settings may "
            "not be read correctly.\n"
         << std::flush;
}

}  // namespace lm::cli
