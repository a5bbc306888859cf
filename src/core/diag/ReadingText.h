#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace lm {

// Turns the texts the report and the production list show into values for a file: no padding,
// numbers as numbers, and null where the window shows a stand-in for a value not read.

// The text without the spaces around it; null when nothing is left.
nlohmann::ordered_json textValue(std::string_view text);

// The number text holds after `unit` is taken off its end ("+77.0F" with unit "F", "12.5%" with
// "%"): a whole number when it is one, else a finite decimal; null for anything else ("na", "Ok").
nlohmann::ordered_json numberValue(std::string_view text, std::string_view unit = {});

}  // namespace lm
