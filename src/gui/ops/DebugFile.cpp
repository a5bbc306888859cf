#include "gui/ops/DebugFile.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>

#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = DebugFile::Id;

// The log's tools sit in a row of their own under the status line.
constexpr DialogRect kClient{0, 0, 387, 256};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Log, C::Log, nullptr, {7, 7, 373, 198}},
    {K::StatusField, F::StatusLine, nullptr, {7, 213, 310, 14}},
    {K::Button, F::Ok, "Close", {330, 213, 50, 14}, kDefaultButton | kFocus},
    {K::Button, C::SaveAs, "&Save As...", {7, 235, 50, 14}},
    {K::Button, C::Copy, "&Copy", {60, 235, 50, 14}},
    {K::Label, {}, "&Find:", {124, 238, 22, 8}, kBuddyOfNext},
    {K::LineEdit, C::Find, nullptr, {148, 235, 169, 14}},
    {K::Button, C::FindNext, "&Next", {330, 235, 50, 14}},
};
// clang-format on

}  // namespace

DebugFile::DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent) {
    title_ = QString::fromLatin1(log.title);
    setWindowTitle(title_ + QStringLiteral(" for ") + address);
    build(kClient, kControls);
    log_ = qobject_cast<QPlainTextEdit*>(control(Id::Log));
    find_ = qobject_cast<QLineEdit*>(control(Id::Find));
    const auto button = [this](Id id, const char* tip, void (DebugFile::*act)()) {
        auto* pressed = qobject_cast<QPushButton*>(control(id));
        pressed->setToolTip(QString::fromLatin1(tip));
        connect(pressed, &QPushButton::clicked, this, act);
    };
    button(Id::SaveAs, "Save the log to a file (Ctrl+S)", &DebugFile::saveAs);
    button(Id::Copy, "Copy the selected lines, or the whole log, to the clipboard", &DebugFile::copy);
    button(Id::FindNext, "Find the next place that holds the text (Enter in the field, F3)",
           &DebugFile::findNext);
    connect(find_, &QLineEdit::returnPressed, this, &DebugFile::findNext);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, &DebugFile::saveAs);
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, &DebugFile::findNext);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        find_->setFocus();
        find_->selectAll();
    });
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

void DebugFile::saveAs() {
    QString filter;
    const QString path = chooseFile_(this, QStringLiteral("Save ") + title_,
                                     QStringLiteral("Text (*.txt *.log);;All files (*)"), &filter);
    if (path.isEmpty()) return;
    const QString failure = saveText(path, log_->toPlainText().toStdString());
    status(failure.isEmpty() ? QStringLiteral("Saved to %1.").arg(path).toStdString()
                             : QStringLiteral("Could not save to %1: %2").arg(path, failure).toStdString());
}

void DebugFile::copy() {
    QString selected = log_->textCursor().selectedText();
    // A selection across lines holds paragraph separators where the line ends were.
    QApplication::clipboard()->setText(selected.isEmpty()
                                           ? log_->toPlainText()
                                           : selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
}

void DebugFile::findNext() {
    const QString wanted = find_->text();
    if (wanted.isEmpty()) return;
    if (!log_->find(wanted)) {
        // Round the end: from the top once more.
        QTextCursor top = log_->textCursor();
        top.movePosition(QTextCursor::Start);
        log_->setTextCursor(top);
        if (!log_->find(wanted)) {
            status(QStringLiteral("\"%1\" is not in the log.").arg(wanted).toStdString());
        }
    }
}

}  // namespace lm::gui
