#include "gui/ops/FixTime.h"

#include <QProgressBar>
#include <QPushButton>

#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

FixTime::FixTime(Session& session, const QString& address, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QStringLiteral("Set Time"));
    addText(QStringLiteral("The server's internal time chip will be set from the time on this computer.  "
                           "Update is in progress, please wait..."),
            QRect(7, 7, 138, 34));
    addStatusLine({}, QRect(7, 45, 138, 10));
    auto* progress = ControlId::tag(new QProgressBar(this), kProgress);
    progress->setRange(0, 2);
    progress->setValue(0);
    progress->setTextVisible(false);
    progress->setGeometry(DialogUnits(*this).rect(7, 59, 138, 10));
    addButton(kOk, QStringLiteral("OK"), QRect(26, 90, 50, 14))->setEnabled(false);
    addButton(kCancel, QStringLiteral("Cancel"), QRect(80, 90, 50, 14))->setDefault(true);
    finishLayout(152, 111);
    startWhenShown([](WorkerTask& task) { setTimeWorker(task, {}); }, kOk);
}

}  // namespace lm::gui
