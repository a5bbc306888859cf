#include <gtest/gtest.h>

#include <string>

#include "core/discovery/ThumbnailGeometry.h"

namespace lm {
namespace {

TEST(ThumbnailGeometry, CropsAndFits) {
    const struct {
        int width;
        int height;
        PixelRect small;  // x, y, width, height of the source square
        PixelRect large;  // where the picture lands in 160 x 120
    } cases[] = {
        // Fills the large slot exactly; the small picture is the central 480 x 480.
        {640, 480, {80, 0, 480, 480}, {0, 0, 160, 120}},
        // Width-limited: 30 rows of background above and below.
        {640, 240, {200, 0, 240, 240}, {0, 30, 160, 60}},
        // Height-limited: 7 columns of background on each side.
        {176, 144, {16, 0, 144, 144}, {7, 0, 146, 120}},
        // The coarse integer test calls this height-limited: it overhangs by 79 columns each side.
        {319, 120, {99, 0, 121, 120}, {-79, 0, 319, 120}},
        // An odd difference keeps one extra line.
        {1, 1000, {0, 499, 1, 2}, {80, 0, 0, 120}},
        // Large enough that W * 160 needs more than 32 bits.
        {20000000, 1500000, {9250000, 0, 1500000, 1500000}, {0, 54, 160, 12}},
        // No pixels: nothing to draw, and no division by zero.
        {0, 480, {}, {}},
        {640, 0, {}, {}},
        {-640, 480, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(ThumbnailGeometry::smallSource(c.width, c.height), c.small);
        EXPECT_EQ(ThumbnailGeometry::largeTarget(c.width, c.height), c.large);
    }
}

TEST(ThumbnailResponse, AcceptsOnlyNonEmptyImages) {
    const struct {
        int status;
        const char* contentType;
        std::size_t bodyBytes;
        bool accepted;
    } cases[] = {
        {200, "image/jpeg", 1, true},  {200, "IMAGE/JPEG", 5000, true},  {200, "imagery/x", 1, true},
        {200, "imag", 1, false},       {200, "text/html", 5000, false},  {200, " image/jpeg", 5000, false},
        {200, "image/jpeg", 0, false}, {206, "image/jpeg", 5000, false}, {404, "image/jpeg", 5000, false}};
    for (const auto& c : cases)
        EXPECT_EQ(ThumbnailGeometry::acceptable(c.status, c.contentType, c.bodyBytes), c.accepted)
            << c.status << " " << c.contentType << " " << c.bodyBytes;
}

}  // namespace
}  // namespace lm
