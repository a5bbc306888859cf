#include "gui/ops/DebugFile.h"

#include <QPlainTextEdit>
#include <QPointer>

#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = LayoutControl::Kind;
const DialogLayout kLayout{387,
                           239,
                           {
                               {K::Log, id(DebugFile::Id::Log), nullptr, 7, 7, 373, 198},
                               {K::StatusField, 0, nullptr, 7, 213, 310, 14},
                               {K::Button, OperationDialog::kOk, "Close", 330, 213, 50, 14,
                                LayoutControl::Default | LayoutControl::Focus},
                           }};

}  // namespace

DebugFile::DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QString::fromLatin1(log.title) + QStringLiteral(" for ") + address);
    build(kLayout);
    // The worker's thread hands the log over on the GUI thread, unless the window has gone.
    const auto show = [view = QPointer(qobject_cast<QPlainTextEdit*>(control(id(Id::Log)))),
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
