#include "gui/app/DialogControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/app/ControlId.h"
#include "gui/app/Ipv4Field.h"

namespace lm::gui {

QWidget* DialogControls::add(QWidget& dialog, ControlKind kind, int id, const char* text, DialogRect place,
                             unsigned flags, QWidget* custom, QWidget* buddyLabel) {
    const QString caption = text ? QString::fromUtf8(text) : QString();
    QWidget* widget = custom;
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::WrappedLabel:
        case ControlKind::Picture: {
            auto* label = new QLabel(caption, &dialog);
            if (kind == ControlKind::WrappedLabel) {
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            }
            widget = label;
            break;
        }
        case ControlKind::LineEdit:
            widget = new QLineEdit(caption, &dialog);
            break;
        case ControlKind::Address:
            widget = new Ipv4Field(&dialog);
            break;
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, &dialog);
            if (flags & kDefaultButton) button->setDefault(true);
            widget = button;
            break;
        }
        case ControlKind::CheckBox:
            widget = new QCheckBox(caption, &dialog);
            break;
        case ControlKind::Custom:
            break;
    }
    const QRect pixels = du_.rect(place.x, place.y, place.width, place.height);
    if (id > 0) ControlId::tag(widget, id);
    if (id != 0) {
        widgets_[id] = widget;
        places_[id] = pixels;
    }
    widget->setGeometry(pixels);
    if (flags & kFitText) widget->adjustSize();
    if (auto* label = qobject_cast<QLabel*>(buddyLabel)) label->setBuddy(widget);
    return flags & kBuddyOfNext ? widget : nullptr;
}

}  // namespace lm::gui
