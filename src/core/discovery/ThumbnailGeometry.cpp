#include "core/discovery/ThumbnailGeometry.h"

#include <strings.h>

#include <cstdint>

namespace lm {

// A picture without pixels cannot be drawn: both rectangles are empty and the fetch counts as failed.

PixelRect ThumbnailGeometry::smallSource(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    // The same margin is taken from both sides, so an odd difference leaves one line more than a
    // square; stretching hides it.
    if (width <= height) {
        const int margin = (height - width) / 2;
        return {0, margin, width, height - 2 * margin};
    }
    const int margin = (width - height) / 2;
    return {margin, 0, width - 2 * margin, height};
}

PixelRect ThumbnailGeometry::largeTarget(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    // 64-bit products: a picture of any int size cannot overflow the scaling.
    const int64_t w = width;
    const int64_t h = height;
    int64_t targetWidth = kLargeWidth;
    int64_t targetHeight = kLargeHeight;
    if (width / kLargeWidth <= height / kLargeHeight)
        targetWidth = w * kLargeHeight / h;
    else
        targetHeight = h * kLargeWidth / w;
    // The coarse test above may pick a width beyond 160; the overhang is cut off when drawn.
    return {static_cast<int>((kLargeWidth - targetWidth) / 2),
            static_cast<int>((kLargeHeight - targetHeight) / 2), static_cast<int>(targetWidth),
            static_cast<int>(targetHeight)};
}

bool ThumbnailGeometry::acceptable(int status, std::string_view contentType, std::size_t bodyBytes) {
    return status == 200 && contentType.size() >= 5 && ::strncasecmp(contentType.data(), "image", 5) == 0 &&
           bodyBytes >= 1;
}

}  // namespace lm
