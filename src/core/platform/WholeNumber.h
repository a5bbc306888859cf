#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>

namespace lm {

// The whole text as a number from min to max; nothing for a sign on an unsigned type, spaces, trailing
// characters, or a value out of range.
template <std::integral T>
std::optional<T> parseWholeNumber(std::string_view text, T min, T max, int base = 10) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

}  // namespace lm
