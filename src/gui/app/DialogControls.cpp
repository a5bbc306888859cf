#include "gui/app/DialogControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/app/ControlId.h"
#include "gui/app/Ipv4Field.h"

namespace lm::gui {

namespace {

QLabel* makeLabel(QWidget& dialog, const QString& text, bool wraps, unsigned flags) {
    auto* label = new QLabel(text, &dialog);
    if (wraps) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    if (flags & kPlainText) label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* makeReadOnly(QWidget& dialog) {
    auto* field = new QLineEdit(&dialog);
    field->setReadOnly(true);
    return field;
}

// The kinds placed in their row's rect as they are.
QWidget* make(QWidget& dialog, ControlKind kind, const QString& text, unsigned flags) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::Picture:
            return makeLabel(dialog, text, false, flags);
        case ControlKind::Text:
            return makeLabel(dialog, text, true, flags);
        case ControlKind::LineEdit:
            return new QLineEdit(text, &dialog);
        case ControlKind::StatusField:
            return makeReadOnly(dialog);
        case ControlKind::Password: {
            auto* field = new QLineEdit(&dialog);
            field->setEchoMode(QLineEdit::Password);
            return field;
        }
        case ControlKind::Address:
            return new Ipv4Field(&dialog);
        case ControlKind::Button: {
            auto* button = new QPushButton(text, &dialog);
            if (flags & kDefaultButton) button->setDefault(true);
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(text, &dialog);
            box->setChecked(flags & kChecked);
            return box;
        }
        case ControlKind::Verdict: {
            auto* box = new QCheckBox(text, &dialog);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            return box;
        }
        case ControlKind::Group:
            return new QGroupBox(text, &dialog);
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(&dialog);
            bar->setValue(0);
            bar->setTextVisible(!(flags & kNoBarText));
            return bar;
        }
        case ControlKind::Log: {
            auto* log = new QPlainTextEdit(&dialog);
            log->setReadOnly(true);
            log->setLineWrapMode(QPlainTextEdit::NoWrap);
            log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            return log;
        }
        case ControlKind::List:
            return new QTreeWidget(&dialog);
        case ControlKind::ComboBox:
            return new QComboBox(&dialog);
        case ControlKind::Reading:
        case ControlKind::Custom:
            break;
    }
    return nullptr;
}

}  // namespace

DialogControls::DialogControls(QWidget& dialog, std::span<const DialogControl> table, const Maker& maker)
    : du_(dialog) {
    QWidget* buddyLabel = nullptr;
    for (const DialogControl& row : table) {
        QWidget* custom = row.kind == ControlKind::Custom ? maker(row.id) : nullptr;
        buddyLabel = add(dialog, row, custom, buddyLabel);
    }
}

QWidget* DialogControls::add(QWidget& dialog, const DialogControl& row, QWidget* custom,
                             QWidget* buddyLabel) {
    const QString text = row.text ? QString::fromUtf8(row.text) : QString();
    const DialogRect& at = row.place;
    const QRect pixels = du_.rect(at.x, at.y, at.width, at.height);
    QWidget* widget = custom;
    if (row.kind == ControlKind::Reading) {
        auto* label = new QLabel(text, &dialog);
        label->setGeometry(du_.rect(at.x, at.y + 2, kReadingLabel, 8));
        // Plain text whatever the device sends, and selectable.
        QLineEdit* value = makeReadOnly(dialog);
        value->setFocusPolicy(Qt::ClickFocus);
        value->setGeometry(du_.rect(at.x + kReadingLabel + 2, at.y, at.width - kReadingLabel - 2, at.height));
        label->setBuddy(value);
        widget = value;
    } else {
        if (widget == nullptr) widget = make(dialog, row.kind, text, row.flags);
        widget->setGeometry(pixels);
    }
    const int id = row.id.value;
    if (id > 0) ControlId::tag(widget, id);
    if (id != 0) {
        widgets_[id] = widget;
        places_[id] = pixels;
    }
    if (row.flags & kFitText) widget->adjustSize();
    if (row.flags & kDisabled) widget->setEnabled(false);
    if (row.flags & kFocus) widget->setFocus();
    if (auto* label = qobject_cast<QLabel*>(buddyLabel)) label->setBuddy(widget);
    return row.flags & kBuddyOfNext ? widget : nullptr;
}

}  // namespace lm::gui
