// What an operation dialog does for its worker, on the GUI thread.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "gui/app/Ipv4Field.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

void OperationDialog::status(const std::string& text) {
    // A label or a read-only line edit; both have a text property.
    if (QWidget* line = control(kStatusLine)) line->setProperty("text", QString::fromStdString(text));
}

void OperationDialog::progressRange(int low, int high) {
    if (auto* bar = findChild<QProgressBar*>()) bar->setRange(low, high);
}

void OperationDialog::progress(int position) {
    if (auto* bar = findChild<QProgressBar*>()) bar->setValue(position);
}

void OperationDialog::beep() {
    QApplication::beep();
}

Answer OperationDialog::ask(const Question& question) {
    // An error box is the last thing a worker shows before it gives up.
    if (question.icon == Question::Icon::Error)
        workEnded(QString::fromStdString(question.text.substr(0, question.text.find('\n'))));
    return showMessageBox(QString::fromStdString(question.text), QString::fromStdString(question.title),
                          question.icon, question.choices);
}

void OperationDialog::showResult(const std::string& text, const std::string& title) {
    workEnded(doneStatus_);
    showMessageBox(QString::fromStdString(text), QString::fromStdString(title), Question::Icon::Information,
                   Choices::Ok);
}

void OperationDialog::workEnded(const QString& status) {
    if (QWidget* cancel = control(kCancel)) cancel->setEnabled(false);
    if (!status.isEmpty()) this->status(status.toStdString());
}

void OperationDialog::finish() {
    finishFromWorker();
}

void OperationDialog::allowStart(bool allowed) {
    if (QWidget* button = control(startButton_)) button->setEnabled(allowed);
}

void OperationDialog::allowClose(bool allowed) {
    if (QWidget* button = control(kOk)) button->setEnabled(allowed);
}

}  // namespace lm::gui
