#pragma once

#include "gui/wizard/WorkerPage.h"

namespace lm::gui {

// "Choose serial port": finds the device's console on the chosen port or on every port. Leaving
// the page waits for the search to let go of the port, so the next step can open it.
class SerialPortPage : public WorkerPage {
    Q_OBJECT
public:
    explicit SerialPortPage(SetupWizard& wizard);

    void leave() override;

protected:
    Work work() override;
};

}  // namespace lm::gui
