#include "core/wizard/WizardPage.h"

#include <algorithm>
#include <utility>

namespace lm {

WizardPage::WizardPage(WorkerChannel& channel, std::shared_ptr<OperationState> state)
    : channel_(channel), state_(std::move(state)) {}

void WizardPage::status(const std::string& text) {
    if (!aborted()) channel_.status(text);
}

void WizardPage::progressRange(int low, int high) {
    high_ = high;
    if (!aborted()) channel_.progressRange(low, high);
}

void WizardPage::progress(int position) {
    if (!aborted()) channel_.progress(position);
}

void WizardPage::showNotice(Notice notice, bool shown) {
    if (!aborted()) channel_.showNotice(notice, shown);
}

void WizardPage::allowMoves(Moves moves) {
    if (!aborted()) channel_.allowMoves(moves);
}

void WizardPage::moveNext() {
    if (!aborted()) channel_.moveNext();
}

void WizardPage::cancelRun() {
    if (!aborted()) channel_.cancelRun();
}

void WizardPage::allowCancel(bool allowed) {
    if (!aborted()) channel_.allowCancel(allowed);
}

void WizardPage::beep() {
    if (!aborted()) channel_.beep();
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
