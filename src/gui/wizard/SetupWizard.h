#pragma once

#include <QFont>
#include <QString>
#include <QWizard>
#include <functional>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "core/wizard/PageRules.h"
#include "core/wizard/WizardModel.h"

namespace lm {
class Session;
class WizardSession;
}  // namespace lm

namespace lm::gui {

class SetupWizardPage;

// "Setup Wizard": the modal sheet that reads a device's settings, lets the user change them page
// by page and writes them back. Its pages show and collect; the core's page rules decide where
// Next and Back go, what is checked and which buttons are on.
class SetupWizard : public QWizard {
    Q_OBJECT
public:
    // A page's message box; tests answer them through their own.
    using MessageBoxHandler = std::function<void(QWidget* owner, const wizard::PageMessage& message)>;

    // devices: the main window's list, in its order; deviceId and deviceAddress (without a port)
    // name the device to preselect, or are empty.
    SetupWizard(WizardSession& wizard, std::vector<DeviceRecord> devices, const QString& deviceId,
                const QString& deviceAddress, QWidget* parent = nullptr);

    // The exterior pages' title font, made once.
    static const QFont& titleFont();

    Session& session();
    // What the wizard keeps for the program's run, beside the session.
    WizardSession& wizardSession() { return wizard_; }
    WizardModel& model() { return model_; }

    void setMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler_ = std::move(handler); }
    // Shows the boxes in order; the focus then goes to the control the last one names.
    void showMessages(SetupWizardPage& owner, const std::vector<wizard::PageMessage>& messages);

    SetupWizardPage* current() const;
    // Enables exactly these of Back, Next and Finish (Moves::Back...).
    void applyButtons(Moves buttons);
    void enableCancel(bool enabled);

    // Back as the rules have it: leaves the page (stopping its worker) and returns to the page
    // they name, which the user passed on the way here.
    void goBack();
    // Cancel, Esc and the close box; refused while the device saves its settings.
    void reject() override;

private:
    void activateCurrent();

    WizardSession& wizard_;
    WizardModel model_;
    MessageBoxHandler messageBoxHandler_;
};

}  // namespace lm::gui
