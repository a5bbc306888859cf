#include "gui/ops/FixTime.h"

#include <QProgressBar>

namespace lm::gui {

namespace {

using K = LayoutControl::Kind;
const DialogLayout kLayout{
    152,
    111,
    {
        {K::Text, 0,
         "The server's internal time chip will be set from the time on this computer.  "
         "Update is in progress, please wait...",
         7, 7, 138, 34},
        {K::StatusLine, 0, "", 7, 45, 138, 10},
        {K::Progress, id(FixTime::Id::Progress), nullptr, 7, 59, 138, 10, LayoutControl::NoBarText},
        {K::Button, OperationDialog::kOk, "OK", 26, 90, 50, 14, LayoutControl::Disabled},
        {K::Button, OperationDialog::kCancel, "Cancel", 80, 90, 50, 14, LayoutControl::Default},
    }};

}  // namespace

FixTime::FixTime(Session& session, const QString& address, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QStringLiteral("Set Time"));
    build(kLayout);
    qobject_cast<QProgressBar*>(control(id(Id::Progress)))->setRange(0, 2);
    startWhenShown([](WorkerTask& task) { setTimeWorker(task, {}); }, kOk);
}

}  // namespace lm::gui
