#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <map>
#include <span>
#include <type_traits>

#include "gui/app/DialogUnits.h"

namespace lm::gui {

// What one control of a dialog is.
enum class ControlKind {
    Label,         // a static text
    WrappedLabel,  // a static text that wraps, top-aligned
    Picture,       // an empty label the dialog fills with a picture
    LineEdit,      // a line edit holding the text at first
    Address,       // a dotted IPv4 address field
    Button,
    CheckBox,
    Custom,  // a control the dialog makes itself, through the maker it passes
};

enum ControlFlag : unsigned {
    kDefaultButton = 1,  // the button Enter presses
    kFitText = 2,        // a label shrunk to its text
    kBuddyOfNext = 4,    // a label whose mnemonic focuses the next control
};

// A place in dialog units.
struct DialogRect {
    int x, y, width, height;
};

// One row of a dialog's table: its controls are made in table order, which is also their tab order.
template <typename Id>
struct DialogControl {
    ControlKind kind;
    Id id;  // 0 for a control nobody refers to; below 0 for one only the dialog's own code refers to
    const char* text;  // the caption, "&" before the mnemonic; null for none
    DialogRect place;
    unsigned flags = 0;
};

// The controls of one dialog made from its table, found again by id. A control with an id above 0
// carries it as its control id (ControlId), as tests and the screenshot tour find it.
class DialogControls {
public:
    template <typename Id, std::size_t N>
    DialogControls(QWidget& dialog, std::span<const DialogControl<Id>, N> table,
                   const std::type_identity_t<std::function<QWidget*(Id)>>& make = {})
        : du_(dialog) {
        QWidget* buddyLabel = nullptr;
        for (const DialogControl<Id>& c : table) {
            QWidget* custom = c.kind == ControlKind::Custom ? make(c.id) : nullptr;
            buddyLabel =
                add(dialog, c.kind, static_cast<int>(c.id), c.text, c.place, c.flags, custom, buddyLabel);
        }
    }

    template <typename T = QWidget, typename Id>
    T* get(Id id) const {
        return qobject_cast<T*>(widgets_.at(static_cast<int>(id)));
    }
    // Where a control was placed, in pixels.
    template <typename Id>
    QRect place(Id id) const {
        return places_.at(static_cast<int>(id));
    }
    const DialogUnits& units() const { return du_; }

private:
    // Makes one control (or places the custom one); returns it when it is a label waiting for the
    // next control as its buddy.
    QWidget* add(QWidget& dialog, ControlKind kind, int id, const char* text, DialogRect place,
                 unsigned flags, QWidget* custom, QWidget* buddyLabel);

    DialogUnits du_;
    std::map<int, QWidget*> widgets_;
    std::map<int, QRect> places_;
};

}  // namespace lm::gui
