#pragma once

#include <vector>

namespace lm::gui {

// What an operation dialog is made of: its size and its controls, in the order they are created
// (the order Tab follows), each placed in dialog units.
struct LayoutControl {
    enum class Kind {
        Text,         // a wrapping static text
        Label,        // a field's label; the control after it is its buddy
        StatusLine,   // the status line, a text
        StatusField,  // the status line, a read-only field
        Address,      // the device address field, showing the dialog's address
        Password,     // the masked admin password field
        Ipv4,         // a dotted address field
        Field,        // a line edit
        Button,
        Start,  // the start button, which runs the dialog's worker
        Check,
        Progress,
        Log,  // read-only plain text in a fixed font, scrolled both ways
    };
    enum Flag : unsigned { None = 0, Default = 1, Checked = 2, Disabled = 4, Focus = 8, NoBarText = 16 };

    Kind kind;
    int id;  // 0 for a text nobody refers to
    const char* text;
    int left, top, width, height;
    unsigned flags = None;
};

struct DialogLayout {
    int width, height;
    std::vector<LayoutControl> controls;
};

// A dialog's control id as the tables and ControlId carry it.
template <typename Id>
constexpr int id(Id control) {
    return static_cast<int>(control);
}

}  // namespace lm::gui
