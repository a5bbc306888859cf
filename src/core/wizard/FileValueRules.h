#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/wizard/DeviceSettings.h"

namespace lm::wizard {

// Which settings values can be written into the device's files as they are. Each text field lands
// in one or more line forms (a KEY=value line the device's shell reads, the dial command that
// diald and pppd hand to a shell, a word of a config file, a chap secret); a value is refused when
// it would change the meaning of one of them: end or start a quote, separate or substitute a
// command, split a word, start a comment. Forms that take the rest of the line (a password after
// "password=") take any printable text.

// Empty when value may be written as the settings field named `field` (a name of settingsFields());
// otherwise why not, naming the character and the file ("holds \";\", which would end the value
// and start a command in network"). Fields not written into a device file take any printable text.
std::string fileValueProblem(std::string_view field, std::string_view value);

struct FieldValueProblem {
    std::string field;  // the settings field's name
    std::string problem;
};

// The first text field of settings, in the fields' order, whose value cannot be written.
std::optional<FieldValueProblem> settingsValueProblem(const DeviceSettings& settings);

}  // namespace lm::wizard
