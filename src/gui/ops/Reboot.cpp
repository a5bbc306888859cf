#include "gui/ops/Reboot.h"

#include <QPushButton>

#include "core/ops/MaintenanceOperations.h"

namespace lm::gui {

Reboot::Reboot(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
               std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Reboot "));
    addText(QStringLiteral("Are you sure you want to reboot this device?"), QRect(7, 7, 189, 10));
    addAddressAndPassword(7, 72, 22, 39);
    addStatusLine(QStringLiteral("Enter password..."), QRect(7, 60, 189, 30));
    addStartButton(kYes, QStringLiteral("Yes"), QRect(45, 102, 50, 14), [this] {
        return [request = RebootRequest{login()}](WorkerTask& task) { rebootWorker(task, request); };
    });
    addButton(kCancel, QStringLiteral("Cancel"), QRect(108, 102, 50, 14))->setDefault(true);
    finishLayout(203, 124);
}

}  // namespace lm::gui
