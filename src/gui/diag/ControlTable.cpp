#include "gui/diag/ControlTable.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

namespace {

QWidget* create(QDialog& dialog, ControlKind kind, const QString& text, const DialogUnits& du,
                const QRect& place) {
    switch (kind) {
        case ControlKind::Field: {
            auto* label = new QLabel(text, &dialog);
            label->setGeometry(du.rect(place.x(), place.y() + 2, kFieldLabel, 8));
            // Read-only line edits: sunken, plain text whatever the device sends, and selectable.
            auto* value = new QLineEdit(&dialog);
            value->setReadOnly(true);
            value->setFocusPolicy(Qt::ClickFocus);
            value->setGeometry(du.rect(place.x() + kFieldLabel + 2, place.y(),
                                       place.width() - kFieldLabel - 2, place.height()));
            label->setBuddy(value);
            return value;
        }
        case ControlKind::Check: {
            auto* box = new QCheckBox(text, &dialog);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            return box;
        }
        case ControlKind::Group:
            return new QGroupBox(text, &dialog);
        case ControlKind::Text: {
            auto* label = new QLabel(text, &dialog);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Status: {
            auto* label = new QLabel(text, &dialog);
            label->setTextFormat(Qt::PlainText);  // it may carry what a device sent
            return label;
        }
        case ControlKind::Button:
            return new QPushButton(text, &dialog);
        case ControlKind::List:
            return new QTreeWidget(&dialog);
    }
    return nullptr;
}

}  // namespace

QWidget* addControl(QDialog& dialog, ControlKind kind, int id, const char* text, const QRect& place) {
    const DialogUnits du(dialog);
    QWidget* widget = create(dialog, kind, QString::fromLatin1(text), du, place);
    if (kind != ControlKind::Field)
        widget->setGeometry(du.rect(place.x(), place.y(), place.width(), place.height()));
    // Untagged controls have no id at all, not id 0.
    if (id != 0) ControlId::tag(widget, id);
    return widget;
}

}  // namespace lm::gui
