#include "gui/ops/DebugFile.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"
#include "gui/ops/GuiThread.h"

namespace lm::gui {

DebugFile::DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    setWindowTitle(QString::fromLatin1(log.title) + QStringLiteral(" for ") + address);
    const DialogUnits du(*this);

    auto* text = ControlId::tag(new QPlainTextEdit(this), kLog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setGeometry(du.rect(7, 7, 373, 198));

    auto* status = ControlId::tag(new QLineEdit(this), kStatusLine);
    status->setReadOnly(true);
    status->setGeometry(du.rect(7, 213, 310, 14));

    auto* close = addButton(kOk, QStringLiteral("Close"), QRect(330, 213, 50, 14));
    close->setDefault(true);
    close->setFocus();
    finishLayout(387, 239);
    // The worker's thread hands the log over on the GUI thread, unless the window has gone.
    const auto show = [view = QPointer<QPlainTextEdit>(text), state = state()](const std::string& shown) {
        GuiThread::call([&] {
            if (view && !state->closing) view->setPlainText(QString::fromStdString(shown));
        });
    };
    startWhenShown([request = LogRequest{log, Session::kDefaultPassword, show}](WorkerTask& task) {
        debugFileWorker(task, request);
    });
}

}  // namespace lm::gui
