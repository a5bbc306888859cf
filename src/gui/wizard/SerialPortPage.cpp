#include "gui/wizard/SerialPortPage.h"

#include <QComboBox>
#include <algorithm>

#include "core/wizard/SerialDetection.h"
#include "core/wizard/WizardPages.h"

namespace lm::gui {

namespace {

// How long leaving waits for the port: 40 looks, 250 ms apart.
constexpr int kReleasePolls = 40;
constexpr int kReleasePollMs = 250;

}  // namespace

SerialPortPage::SerialPortPage(SetupWizard& wizard)
    : WorkerPage(wizard, wizard::kSerialPort, wizard::Field::DetectStatus, wizard::Field::DetectProgress) {}

void SerialPortPage::leave() {
    WorkerPage::leave();
    waitForWorker(kReleasePolls, kReleasePollMs);
}

WorkerPage::Work SerialPortPage::work() {
    // The list's index is the port's number, "AUTO" (and no choice) 0.
    const auto* ports = qobject_cast<QComboBox*>(control(wizard::Field::PortCombo));
    const int choice = ports ? std::max(0, ports->currentIndex()) : 0;
    return [choice](WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt) {
        return detectSerialDevice(wizard, page, prompt, choice);
    };
}

}  // namespace lm::gui
