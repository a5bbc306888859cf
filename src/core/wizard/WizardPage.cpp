#include "core/wizard/WizardPageUi.h"

#include <algorithm>
#include <utility>

namespace lm {

WizardPage::WizardPage(WizardPageUi& ui, std::shared_ptr<WizardRunState> state)
    : ui_(ui), state_(std::move(state)) {}

void WizardPage::status(const std::string& text) {
    if (!aborted()) ui_.setStatus(text);
}

void WizardPage::progressRange(int low, int high) {
    high_ = high;
    if (!aborted()) ui_.setProgressRange(low, high);
}

void WizardPage::progress(int position) {
    if (!aborted()) ui_.setProgress(position);
}

void WizardPage::showText(int id, bool shown) {
    if (!aborted()) ui_.showText(id, shown);
}

void WizardPage::buttons(int buttons) {
    if (!aborted()) ui_.setButtons(buttons);
}

void WizardPage::pressNext() {
    if (!aborted()) ui_.pressNext();
}

void WizardPage::pressCancel() {
    if (!aborted()) ui_.pressCancel();
}

void WizardPage::enableCancel(bool enabled) {
    if (!aborted()) ui_.enableCancel(enabled);
}

void WizardPage::beep() {
    if (!aborted()) ui_.beep();
}

void WizardPage::startSteps() {
    progress(1);
    position_ = 2;
}

void WizardPage::step() {
    progress(high_ > 0 ? std::min(position_, high_) : position_);
    ++position_;
}

}  // namespace lm
