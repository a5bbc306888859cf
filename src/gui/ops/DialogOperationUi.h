#pragma once

#include <QPointer>
#include <memory>

#include "core/ops/OperationState.h"
#include "core/ops/OperationUi.h"

namespace lm::gui {

class OperationDialog;

// A worker's way to its dialog: each request runs on the GUI thread while the worker waits, and is
// skipped with a neutral answer once the dialog is closing or gone. The dialog pointer is only
// read on the GUI thread.
class DialogOperationUi : public OperationUi {
public:
    DialogOperationUi(OperationDialog* dialog, std::shared_ptr<OperationState> state);

    void setStatus(const std::string& text) override;
    void setProgressRange(int low, int high) override;
    void setProgress(int position) override;
    void enableControl(int id, bool enabled) override;
    int messageBox(const std::string& text, const std::string& title, Icon icon, Buttons buttons) override;
    void beep() override;
    void enableStart() override;
    void finish() override;
    std::string fieldText(int id) override;
    void setFieldText(int id, const std::string& text) override;
    bool isChecked(int id) override;
    void setChecked(int id, bool checked) override;

    // What a skipped message box answers: the way out that does nothing.
    static int neutralAnswer(Buttons buttons);

private:
    // Runs request(dialog) on the GUI thread unless closing; otherwise returns `neutral`.
    template <typename R, typename F>
    R request(R neutral, F request);

    QPointer<OperationDialog> dialog_;
    std::shared_ptr<OperationState> state_;
};

}  // namespace lm::gui
