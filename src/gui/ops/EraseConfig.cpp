#include "gui/ops/EraseConfig.h"

#include <QCheckBox>
#include <QPushButton>

#include "core/ops/MaintenanceOperations.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

EraseConfig::EraseConfig(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
                         std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Erase Configuration Files"));
    addText(QStringLiteral("Are you sure you want to erase the internal configuration files of this device?  "
                           "This will restore the defaults, which among other things restores automatic IP "
                           "selection mode (DHCP)."),
            QRect(7, 7, 255, 26));
    addText(QStringLiteral("You may lose some important settings you made with the setup wizard and have to "
                           "redo that process.  In the worst case, you may not be able to talk to it on an "
                           "ethernet network until you set it up again with a serial cable.  "),
            QRect(7, 37, 255, 34));
    addText(QStringLiteral("Are you sure you want to continue?"), QRect(7, 75, 255, 10));
    addAddressAndPassword(7, 72, 88, 104);

    auto* reboot =
        ControlId::tag(new QCheckBox(QStringLiteral("Reboot device afterwards"), this), kRebootAfterwards);
    reboot->setChecked(true);
    reboot->setGeometry(DialogUnits(*this).rect(72, 121, 150, 10));

    addStatusLine(QStringLiteral("Enter the password..."), QRect(7, 136, 255, 14));
    addButton(kCancel, QStringLiteral("Cancel"), QRect(150, 154, 50, 14))->setDefault(true);
    addStartButton(kProceed, QStringLiteral("Proceed"), QRect(212, 154, 50, 14), [this, reboot] {
        return [request = EraseRequest{login(), reboot->isChecked()}](WorkerTask& task) {
            eraseWorker(task, request);
        };
    });
    finishLayout(269, 175);
}

}  // namespace lm::gui
