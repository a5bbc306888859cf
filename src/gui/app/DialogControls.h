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
    Label,        // a static text
    Text,         // a static text that wraps, top-aligned
    Picture,      // an empty label the dialog fills with a picture
    LineEdit,     // a line edit holding the text at first
    StatusField,  // a read-only line edit
    Reading,      // a value the device reported: its label (the text) in the place's first
                  // kReadingLabel units, then a read-only line edit
    Password,     // a masked line edit
    Address,      // a dotted IPv4 address field
    Button,
    CheckBox,
    Verdict,   // a check box showing a verdict: the user cannot change it
    Group,     // a group box's frame and title
    Progress,  // a progress bar at 0
    Log,       // read-only plain text in a fixed font, scrolled both ways
    List,      // a multi-column list
    ComboBox,  // a drop-down list of choices, empty at first
    Custom,    // a control the dialog makes itself, through the maker it passes
};
constexpr int kReadingLabel = 54;

enum ControlFlag : unsigned {
    kDefaultButton = 1,  // the button Enter presses
    kFitText = 2,        // a label shrunk to its text
    kBuddyOfNext = 4,    // a label whose mnemonic focuses the next control
    kPlainText = 8,      // a label that may show what a device sent: never markup
    kChecked = 16,       // a check box checked at first
    kDisabled = 32,
    kFocus = 64,        // the control that has the focus when the dialog opens
    kNoBarText = 128,   // a progress bar without its percentage
    kStartsWork = 256,  // the button that starts an operation dialog's worker
};

// A place in dialog units.
struct DialogRect {
    int x, y, width, height;
};

// A control's id in a table: a value of the dialog's own enum of ids. 0 is a control nobody
// refers to; below 0 one only the dialog's own code refers to.
struct ControlRef {
    constexpr ControlRef() = default;
    template <typename Id>
    requires std::is_enum_v<Id>
    constexpr ControlRef(Id id) : value(static_cast<int>(id)) {}  // NOLINT(google-explicit-constructor)

    int value = 0;
};

// One row of a dialog's table: its controls are made in table order, which is also their tab order.
struct DialogControl {
    ControlKind kind;
    ControlRef id;
    const char* text;  // the caption, "&" before the mnemonic; null for none
    DialogRect place;
    unsigned flags = 0;
};

// The controls of one dialog made from its table, found again by id. A control with an id above 0
// carries it as its control id (ControlId), as tests and the screenshot tour find it.
class DialogControls {
public:
    using Maker = std::function<QWidget*(ControlRef)>;

    DialogControls(QWidget& dialog, std::span<const DialogControl> table, const Maker& maker = {});

    template <typename T = QWidget>
    T* get(ControlRef id) const {
        return qobject_cast<T*>(widgets_.at(id.value));
    }
    // Where a control was placed, in pixels.
    QRect place(ControlRef id) const { return places_.at(id.value); }
    const DialogUnits& units() const { return du_; }

private:
    // Makes one control (or places the custom one); returns it when it is a label waiting for the
    // next control as its buddy.
    QWidget* add(QWidget& dialog, const DialogControl& row, QWidget* custom, QWidget* buddyLabel);

    DialogUnits du_;
    std::map<int, QWidget*> widgets_;
    std::map<int, QRect> places_;
};

}  // namespace lm::gui
