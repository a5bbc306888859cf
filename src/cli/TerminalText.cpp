#include "cli/TerminalText.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <utility>

namespace lm::cli {

namespace {

// Length of the valid UTF-8 sequence at the start of text and its code point; 0 when invalid.
std::size_t decodeOne(std::string_view text, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters a terminal draws two columns wide (East Asian Wide and Fullwidth, emoji).
constexpr std::array<std::pair<char32_t, char32_t>, 15> kWide = {{{0x1100, 0x115F},
                                                                  {0x2E80, 0x303E},
                                                                  {0x3041, 0x33FF},
                                                                  {0x3400, 0x4DBF},
                                                                  {0x4E00, 0x9FFF},
                                                                  {0xA000, 0xA4CF},
                                                                  {0xAC00, 0xD7A3},
                                                                  {0xF900, 0xFAFF},
                                                                  {0xFE30, 0xFE4F},
                                                                  {0xFF00, 0xFF60},
                                                                  {0xFFE0, 0xFFE6},
                                                                  {0x1F300, 0x1F64F},
                                                                  {0x1F900, 0x1F9FF},
                                                                  {0x20000, 0x2FFFD},
                                                                  {0x30000, 0x3FFFD}}};
// Combining marks and zero-width characters, drawn over or between their neighbours.
constexpr std::array<std::pair<char32_t, char32_t>, 7> kZeroWidth = {{{0x0300, 0x036F},
                                                                      {0x1AB0, 0x1AFF},
                                                                      {0x1DC0, 0x1DFF},
                                                                      {0x200B, 0x200F},
                                                                      {0x20D0, 0x20FF},
                                                                      {0xFE00, 0xFE0F},
                                                                      {0xFE20, 0xFE2F}}};

template <std::size_t N>
bool within(char32_t c, const std::array<std::pair<char32_t, char32_t>, N>& ranges) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const auto& range) { return c >= range.first && c <= range.second; });
}

}  // namespace

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    while (!text.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = decodeOne(text, codePoint);
        text.remove_prefix(length == 0 ? 1 : length);
        if (length == 0)
            ++width;
        else if (within(codePoint, kWide))
            width += 2;
        else if (!within(codePoint, kZeroWidth))
            ++width;
    }
    return width;
}

std::string errorLines(std::string_view text) {
    std::string lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.append("lmtools-cli: ").append(terminalSafe(text.substr(0, end))).append("\n");
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

bool isTerminal(const std::ostream& stream) {
    if (&stream == &std::cout) return ::isatty(STDOUT_FILENO) != 0;
    if (&stream == &std::cerr) return ::isatty(STDERR_FILENO) != 0;
    return false;
}

std::string terminalSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    while (!text.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = decodeOne(text, codePoint);
        if (length == 0 || isControl(codePoint)) {
            safe += '?';
            text.remove_prefix(length == 0 ? 1 : length);
        } else {
            safe.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return safe;
}

}  // namespace lm::cli
