#include "gui/wizard/WorkerPageUi.h"

#include <QApplication>

#include "gui/ops/GuiThread.h"
#include "gui/wizard/SetupWizard.h"
#include "gui/wizard/WorkerPage.h"

namespace lm::gui {

WorkerPageUi::WorkerPageUi(WorkerPage* page, SetupWizard* wizard, std::shared_ptr<WizardRunState> run)
    : page_(page), wizard_(wizard), run_(std::move(run)) {}

template <typename F>
void WorkerPageUi::request(F work) {
    GuiThread::call([this, &work] {
        // Checked again here: Back or Cancel may have come between the worker's look and now.
        if (page_.isNull() || wizard_.isNull() || run_->abortRequested) return;
        work(*page_, *wizard_);
    });
}

void WorkerPageUi::setStatus(const std::string& text) {
    request([&text](WorkerPage& page, SetupWizard&) { page.showStatus(QString::fromStdString(text)); });
}

void WorkerPageUi::setProgressRange(int low, int high) {
    request([low, high](WorkerPage& page, SetupWizard&) { page.setProgressRange(low, high); });
}

void WorkerPageUi::setProgress(int position) {
    request([position](WorkerPage& page, SetupWizard&) { page.setProgress(position); });
}

void WorkerPageUi::showText(int id, bool shown) {
    request([id, shown](WorkerPage& page, SetupWizard&) {
        page.showControl(static_cast<wizard::Field>(id), shown);
    });
}

void WorkerPageUi::setButtons(int buttons) {
    request([buttons](WorkerPage& page, SetupWizard&) { page.setButtons(buttons); });
}

void WorkerPageUi::pressNext() {
    request([](WorkerPage& page, SetupWizard&) { page.pressNextForWorker(); });
}

void WorkerPageUi::pressCancel() {
    request([](WorkerPage&, SetupWizard& wizard) { wizard.reject(); });
}

void WorkerPageUi::enableCancel(bool enabled) {
    request([enabled](WorkerPage&, SetupWizard& wizard) { wizard.enableCancel(enabled); });
}

void WorkerPageUi::beep() {
    request([](WorkerPage&, SetupWizard&) { QApplication::beep(); });
}

}  // namespace lm::gui
