#include "gui/ops/DialogOperationUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "gui/app/Ipv4Field.h"
#include "gui/ops/GuiThread.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

namespace {

struct Nothing {};

}  // namespace

DialogOperationUi::DialogOperationUi(OperationDialog* dialog, std::shared_ptr<OperationState> state)
    : dialog_(dialog), state_(std::move(state)) {}

template <typename R, typename F>
R DialogOperationUi::request(R neutral, F work) {
    return GuiThread::call([this, neutral, work]() -> R {
        OperationDialog* dialog = dialog_.data();
        if (dialog == nullptr || state_->closing) return neutral;
        return work(*dialog);
    });
}

void DialogOperationUi::setStatus(const std::string& text) {
    request(Nothing{}, [&text](OperationDialog& dialog) {
        // A label or a read-only line edit; both have a text property.
        if (QWidget* line = dialog.control(OperationDialog::kStatusLine))
            line->setProperty("text", QString::fromStdString(text));
        return Nothing{};
    });
}

void DialogOperationUi::setProgressRange(int low, int high) {
    request(Nothing{}, [low, high](OperationDialog& dialog) {
        if (auto* bar = dialog.findChild<QProgressBar*>()) bar->setRange(low, high);
        return Nothing{};
    });
}

void DialogOperationUi::setProgress(int position) {
    request(Nothing{}, [position](OperationDialog& dialog) {
        if (auto* bar = dialog.findChild<QProgressBar*>()) bar->setValue(position);
        return Nothing{};
    });
}

void DialogOperationUi::enableControl(int id, bool enabled) {
    request(Nothing{}, [id, enabled](OperationDialog& dialog) {
        if (QWidget* widget = dialog.control(id)) widget->setEnabled(enabled);
        return Nothing{};
    });
}

int DialogOperationUi::messageBox(const std::string& text, const std::string& title, Icon icon,
                                  Buttons buttons) {
    return request(neutralAnswer(buttons), [&](OperationDialog& dialog) {
        return dialog.showMessageBox(QString::fromStdString(text), QString::fromStdString(title), icon,
                                     buttons);
    });
}

void DialogOperationUi::beep() {
    request(Nothing{}, [](OperationDialog&) {
        QApplication::beep();
        return Nothing{};
    });
}

void DialogOperationUi::enableStart() {
    request(Nothing{}, [](OperationDialog& dialog) {
        if (QWidget* button = dialog.control(dialog.startButton_)) button->setEnabled(true);
        return Nothing{};
    });
}

void DialogOperationUi::finish() {
    request(Nothing{}, [](OperationDialog& dialog) {
        dialog.finishFromWorker();
        return Nothing{};
    });
}

std::string DialogOperationUi::fieldText(int id) {
    return request(std::string(), [id](OperationDialog& dialog) {
        QWidget* widget = dialog.control(id);
        if (auto* address = qobject_cast<Ipv4Field*>(widget)) return address->addressText().toStdString();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
        return std::string();
    });
}

void DialogOperationUi::setFieldText(int id, const std::string& text) {
    request(Nothing{}, [id, &text](OperationDialog& dialog) {
        QWidget* widget = dialog.control(id);
        // Plain text: whatever the device sent is shown, never read as markup.
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            edit->setPlainText(QString::fromStdString(text));
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            line->setText(QString::fromStdString(text));
            line->setCursorPosition(0);  // a value too long for its field shows its beginning
        }
        return Nothing{};
    });
}

bool DialogOperationUi::isChecked(int id) {
    return request(false, [id](OperationDialog& dialog) {
        auto* button = qobject_cast<QAbstractButton*>(dialog.control(id));
        return button != nullptr && button->isChecked();
    });
}

void DialogOperationUi::setChecked(int id, bool checked) {
    request(Nothing{}, [id, checked](OperationDialog& dialog) {
        if (auto* button = qobject_cast<QAbstractButton*>(dialog.control(id))) button->setChecked(checked);
        return Nothing{};
    });
}

int DialogOperationUi::neutralAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return kOk;
        case Buttons::OkCancel:
            return kCancel;
        case Buttons::YesNo:
            return kNo;
    }
    return kCancel;
}

}  // namespace lm::gui
