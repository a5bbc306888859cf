#pragma once

#include <string>
#include <string_view>

namespace lm {

// Matching in device and user text. Letters are lowered as ASCII only: device text need not be
// UTF-8, and the user's locale must not change what matches.
inline char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace lm
