#pragma once

#include <QString>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "gui/wizard/SetupWizardPage.h"

class QTableWidget;

namespace lm::gui {

// The device list page: the main window's devices with their ID, address, type and version; the
// device the main window had selected is selected here too. Next only with a row selected; it
// makes that device the wizard's target and the site the password prompt names.
class DeviceListPage : public SetupWizardPage {
    Q_OBJECT
public:
    DeviceListPage(SetupWizard& wizard, std::vector<DeviceRecord> devices, QString deviceId,
                   QString deviceAddress);

    void initializePage() override;
    bool validatePage() override;

protected:
    bool listSelected() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumns();

    QTableWidget* list_;
    std::vector<DeviceRecord> devices_;
    QString deviceId_;
    QString deviceAddress_;
};

}  // namespace lm::gui
