#include "gui/ops/FixTime.h"

#include <QProgressBar>

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = FixTime::Id;

constexpr DialogRect kClient{0, 0, 152, 111};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, {},
     "The server's internal time chip will be set from the time on this computer.  "
     "Update is in progress, please wait...",
     {7, 7, 138, 34}},
    {K::Text, F::StatusLine, "", {7, 45, 138, 10}, kPlainText},
    {K::Progress, C::Progress, nullptr, {7, 59, 138, 10}, kNoBarText},
    {K::Button, F::Ok, "OK", {26, 90, 50, 14}, kDisabled},
    {K::Button, F::Cancel, "Cancel", {80, 90, 50, 14}, kDefaultButton},
};
// clang-format on

}  // namespace

FixTime::FixTime(Session& session, const QString& address, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QStringLiteral("Set Time"));
    build(kClient, kControls);
    qobject_cast<QProgressBar*>(control(Id::Progress))->setRange(0, 2);
    startWhenShown([](WorkerTask& task) { setTimeWorker(task, {}); }, kOk);
}

}  // namespace lm::gui
