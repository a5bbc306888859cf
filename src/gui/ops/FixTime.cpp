#include "gui/ops/FixTime.h"

#include <QLabel>
#include <QProgressBar>

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = FixTime::Id;

constexpr DialogRect kClient{0, 0, 152, 111};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, {}, FixTime::kIntro, {7, 7, 138, 34}},
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
    for (QLabel* label : findChildren<QLabel*>())
        if (label->text() == QLatin1String(kIntro)) intro_ = label;
    startWhenShown(
        [](WorkerTask& task) {
            // The failure's box has gone; the status line must not go on saying "setting time".
            if (setTimeWorker(task, {}).outcome != Outcome::Ok) task.status(kFailed);
        },
        kOk);
}

void FixTime::allowClose(bool allowed) {
    OperationDialog::allowClose(allowed);
    if (!allowed) return;
    if (QWidget* cancel = control(kCancel)) cancel->setEnabled(false);
    if (intro_) intro_->setText(QString::fromLatin1(kEndedIntro));
}

}  // namespace lm::gui
