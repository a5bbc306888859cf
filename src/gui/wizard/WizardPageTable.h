#pragma once

#include <vector>

#include "core/wizard/WizardPages.h"

namespace lm::gui {

// What a wizard page is made of: its header texts and its controls, each placed on a grid.
struct ControlLayout {
    enum class Kind {
        Title,     // the exterior pages' big title
        Text,      // a wrapping static text; with an id when the rules set or hide it
        Field,     // a line edit, with its label in the column before it
        Password,  // a masked line edit, with its label
        Address,   // a dotted address field, with its label
        Combo,     // a drop-down list, with its label (none when text is null)
        Radio,     // a radio button of `group`
        Check,
        Button,
        Progress,
        List,  // the device list
    };
    wizard::Field field;  // None for a static text nobody refers to
    Kind kind;
    const char* text;  // the caption, with "&" before the mnemonic; a field's label
    int row;
    int column = 0;
    int span = 1;          // columns the control itself takes
    int group = 0;         // radio buttons of one group are exclusive among themselves
    int width = 0;         // a field's fixed width in dialog units; 0 for its natural width
    bool centred = false;  // a short text between two fields, kept clear of both
};

struct PageLayout {
    int page;
    const char* title;     // the header title; null on the exterior pages
    const char* subTitle;  // the header's second line; null on the exterior pages
    std::vector<ControlLayout> controls;
};

// Every page of the Setup Wizard, in the order they are added.
const std::vector<PageLayout>& wizardPages();
const PageLayout& wizardPage(int page);
// The control id a field's widget carries; 0 for Field::None.
int controlId(wizard::Field field);

}  // namespace lm::gui
