#pragma once

#include <QPointer>
#include <memory>

#include "core/wizard/WizardPageUi.h"

namespace lm::gui {

class SetupWizard;
class WorkerPage;

// A wizard worker's way to its page and the sheet: each request runs on the GUI thread while the
// worker waits, and is dropped once the run is aborted or the page is gone.
class WorkerPageUi : public WizardPageUi {
public:
    WorkerPageUi(WorkerPage* page, SetupWizard* wizard, std::shared_ptr<WizardRunState> run);

    void setStatus(const std::string& text) override;
    void setProgressRange(int low, int high) override;
    void setProgress(int position) override;
    void showText(int id, bool shown) override;
    void setButtons(int buttons) override;
    void pressNext() override;
    void pressCancel() override;
    void enableCancel(bool enabled) override;
    void beep() override;

private:
    template <typename F>
    void request(F work);

    QPointer<WorkerPage> page_;  // read on the GUI thread only
    QPointer<SetupWizard> wizard_;
    std::shared_ptr<WizardRunState> run_;
};

}  // namespace lm::gui
