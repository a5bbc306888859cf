#pragma once

#include <array>
#include <cstdint>

namespace lm::sim {

// A small 5 x 7 pixel font for the text burnt into the pictures: digits, capital letters (small
// ones are drawn as capitals) and - : . / = _ and blank. Other characters show as a hollow box.
class BitmapFont {
public:
    static constexpr int kWidth = 5;
    static constexpr int kHeight = 7;
    static constexpr int kAdvance = kWidth + 1;

    // Rows top to bottom; bit 4 is the leftmost pixel.
    using Glyph = std::array<uint8_t, kHeight>;
    static Glyph glyph(char c);
};

}  // namespace lm::sim
