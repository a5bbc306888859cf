#include "cli/TerminalWizardPage.h"

#include <algorithm>

#include "cli/TerminalText.h"
#include "core/wizard/WizardPages.h"

namespace lm::cli {

namespace {
constexpr int kBarWidth = 30;
}

TerminalWizardPage::TerminalWizardPage(std::ostream& err, bool quiet, bool terminal)
    : err_(err), quiet_(quiet), terminal_(terminal) {
    cancelEnabled_ = true;
}

void TerminalWizardPage::breakLine() {
    if (!midLine_) return;
    err_ << "\r\033[K" << std::flush;
    midLine_ = false;
}

void TerminalWizardPage::setStatus(const std::string& text) {
    lastStatus_ = text;
    if (quiet_) return;
    breakLine();
    // A status line may carry the device's words.
    err_ << terminalSafe(text) << '\n' << std::flush;
}

void TerminalWizardPage::setProgressRange(int, int high) {
    high_ = high;
}

void TerminalWizardPage::setProgress(int position) {
    if (quiet_ || !terminal_ || high_ <= 0) return;
    const int shown = std::clamp(position, 0, high_);
    const int filled = shown * kBarWidth / high_;
    err_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] " << shown << '/'
         << high_ << std::flush;
    midLine_ = true;
}

void TerminalWizardPage::showText(int id, bool shown) {
    if (!shown || id != wizard::kRomWarning) return;
    breakLine();
    err_ << "Warning: the device's ROM version could not be read or is older than 1.0; its settings may "
            "not be read correctly.\n"
         << std::flush;
}

}  // namespace lm::cli
