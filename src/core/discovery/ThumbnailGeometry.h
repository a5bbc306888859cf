#pragma once

#include <string_view>

namespace lm {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

// Where a W x H picture goes in the two thumbnail sizes. A width or height of 0 or less gives
// empty rectangles: such a picture is a failed fetch.
struct ThumbnailGeometry {
    static constexpr int kSmall = 48;
    static constexpr int kLargeWidth = 160;
    static constexpr int kLargeHeight = 120;

    // The centred square of the source that is stretched into the 48 x 48 picture.
    static PixelRect smallSource(int width, int height);
    // Where the whole source is stretched inside the 160 x 120 picture (the rest is background).
    static PixelRect largeTarget(int width, int height);
    // Status 200, a Content-Type starting with "image" in any case, and a body of at least a byte.
    static bool acceptable(int status, std::string_view contentType, std::size_t bodyBytes);
};

}  // namespace lm
