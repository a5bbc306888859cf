#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lm::sim {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// An RGB picture with the few drawing steps the simulated cameras need. Everything is clipped.
class Canvas {
public:
    Canvas(unsigned width, unsigned height);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb pixel(int x, int y) const;

    void verticalGradient(Rgb top, Rgb bottom);
    // Mixes colour into the rectangle; opacity 0..1.
    void blendRect(int x, int y, int w, int h, Rgb colour, double opacity = 1.0);
    // A filled circle with a softened rim.
    void disc(double cx, double cy, double radius, Rgb colour);
    // Text in the 5 x 7 font, each font pixel drawn as scale x scale.
    void text(int x, int y, std::string_view text, int scale, Rgb colour);
    static int textWidth(std::string_view text, int scale);

    // Baseline JPEG; empty when encoding fails.
    std::vector<unsigned char> toJpeg(int quality) const;

private:
    void blend(int x, int y, Rgb colour, double opacity);

    int width_;
    int height_;
    std::vector<uint8_t> pixels_;  // RGB rows, top first
};

}  // namespace lm::sim
