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
    return showMessageBox(QString::fromStdString(question.text), QString::fromStdString(question.title),
                          question.icon, question.choices);
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

std::string OperationDialog::fieldText(int id) {
    QWidget* widget = control(id);
    if (auto* address = qobject_cast<Ipv4Field*>(widget)) return address->addressText().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
    return std::string();
}

void OperationDialog::setFieldText(int id, const std::string& text) {
    QWidget* widget = control(id);
    // Plain text: whatever the device sent is shown, never read as markup.
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) edit->setPlainText(QString::fromStdString(text));
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(QString::fromStdString(text));
        line->setCursorPosition(0);  // a value too long for its field shows its beginning
    }
}

bool OperationDialog::isChecked(int id) {
    auto* button = qobject_cast<QAbstractButton*>(control(id));
    return button != nullptr && button->isChecked();
}

void OperationDialog::setChecked(int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(control(id))) button->setChecked(checked);
}

}  // namespace lm::gui
