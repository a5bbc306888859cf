#include "core/diag/ReadingText.h"

#include <charconv>
#include <cmath>

namespace lm {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

nlohmann::ordered_json textValue(std::string_view text) {
    text = trimmed(text);
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(std::string(text));
}

nlohmann::ordered_json numberValue(std::string_view text, std::string_view unit) {
    text = trimmed(text);
    if (!unit.empty() && text.ends_with(unit)) text.remove_suffix(unit.size());
    // from_chars takes no "+", which the temperature carries.
    const bool plus = text.starts_with('+');
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.starts_with('-'))) return nullptr;
    const char* end = text.data() + text.size();
    long long whole = 0;
    if (const auto [at, error] = std::from_chars(text.data(), end, whole); error == std::errc{} && at == end)
        return whole;
    double value = 0;
    if (const auto [at, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
        error == std::errc{} && at == end && std::isfinite(value))
        return value;
    return nullptr;
}

}  // namespace lm
