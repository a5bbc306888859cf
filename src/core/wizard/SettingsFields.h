#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/wizard/DeviceSettings.h"
#include "core/wizard/WizardPages.h"

namespace lm::wizard {

// One editable field of the settings: its name where settings are exchanged as text (the command
// line program's JSON), its kind, where it lives in DeviceSettings, and the page control a person
// would type it into (page 0 when no page edits it).
struct SettingsField {
    enum class Kind { Text, Flag, Number, Modem };
    const char* name;
    Kind kind;
    std::string DeviceSettings::*text = nullptr;
    bool DeviceSettings::*flag = nullptr;
    int DeviceSettings::*number = nullptr;
    int page = 0;
    // A text field or check box; for a flag shown by two radio buttons, the one that means "yes"
    // (and `offControl` the one that means "no"). A second field typed the same (a verify field).
    Field control = Field::None;
    Field offControl = Field::None;
    Field verifyControl = Field::None;
};

// The editable fields in the order a person meets them on the pages.
std::span<const SettingsField> settingsFields();
const SettingsField* findSettingsField(const std::string& name);

// A field's value as text for show ("yes"/"no" for flags, the modem's name).
std::string fieldText(const DeviceSettings& settings, const SettingsField& field);

// Copies one field's value from one set of settings into another.
void copyField(const SettingsField& field, const DeviceSettings& from, DeviceSettings& to);

}  // namespace lm::wizard
