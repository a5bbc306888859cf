#pragma once

#include <QRect>

class QDialog;
class QWidget;

namespace lm::gui {

// One control of a dialog as data: what it is, its id (0: none), its text and where it sits in
// dialog units. The dialog sets up what is particular to it on the widget the row gives.
enum class ControlKind {
    Field,   // a read-only line edit with its label (the text) in the rect's first kFieldLabel units
    Check,   // a check box showing a verdict: the user cannot change it
    Group,   // a group box's frame and title
    Text,    // a wrapping plain text, top left
    Status,  // a one-line plain text
    Button,  // a push button
    List,    // a multi-column list
};
constexpr int kFieldLabel = 54;

template <typename Id>
struct ControlRow {
    ControlKind kind;
    Id id;
    const char* text;
    QRect place;
};

// Creates the control of a row on dialog; for a Field, returns the line edit.
QWidget* addControl(QDialog& dialog, ControlKind kind, int id, const char* text, const QRect& place);

template <typename Id>
QWidget* addControl(QDialog& dialog, const ControlRow<Id>& row) {
    return addControl(dialog, row.kind, static_cast<int>(row.id), row.text, row.place);
}

}  // namespace lm::gui
