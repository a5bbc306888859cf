#include "gui/ops/DebugFile.h"

#include <QPlainTextEdit>
#include <QPointer>

#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = DebugFile::Id;

constexpr DialogRect kClient{0, 0, 387, 239};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Log, C::Log, nullptr, {7, 7, 373, 198}},
    {K::StatusField, F::StatusLine, nullptr, {7, 213, 310, 14}},
    {K::Button, F::Ok, "Close", {330, 213, 50, 14}, kDefaultButton | kFocus},
};
// clang-format on

}  // namespace

DebugFile::DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QString::fromLatin1(log.title) + QStringLiteral(" for ") + address);
    build(kClient, kControls);
    // The worker's thread hands the log over on the GUI thread, unless the window has gone.
    const auto show = [view = QPointer(qobject_cast<QPlainTextEdit*>(control(Id::Log))),
                       state = state()](const std::string& shown) {
        GuiThread::call([&] {
            if (view && !state->closing) view->setPlainText(QString::fromStdString(shown));
        });
    };
    startWhenShown([request = LogRequest{log, Session::kDefaultPassword, show}](WorkerTask& task) {
        debugFileWorker(task, request);
    });
}

}  // namespace lm::gui
