#include <gtest/gtest.h>

#include <set>

#include "BitmapFont.h"
#include "CameraImage.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;

const WallClock::time_point kNoon = WallClock::time_point(1700000000s);

std::string_view bytesOf(const std::vector<unsigned char>& jpeg) {
    return {reinterpret_cast<const char*>(jpeg.data()), jpeg.size()};
}

TEST(CameraImageTest, DecodesAtTheConfiguredSize) {
    const std::vector<std::pair<unsigned, unsigned>> sizes{
        {640, 480}, {352, 288}, {1, 1}, {17, 9}, {160, 600}};
    DeviceConfig device = modelDevice(0xC8);
    for (const auto& [width, height] : sizes) {
        device.http.width = width;
        device.http.height = height;
        const auto jpeg = renderCameraImage(device, kNoon);
        const auto image = test::decodeJpeg(bytesOf(jpeg));
        ASSERT_TRUE(image) << width << "x" << height;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
    }
}

TEST(CameraImageTest, MovesWithTheClockAndOnlyWithIt) {
    const DeviceConfig device = modelDevice(0xC8);
    const auto first = renderCameraImage(device, kNoon);
    EXPECT_EQ(renderCameraImage(device, kNoon), first);

    const auto later = test::decodeJpeg(bytesOf(renderCameraImage(device, kNoon + 2s)));
    const auto before = test::decodeJpeg(bytesOf(first));
    ASSERT_TRUE(later && before);
    // Not just the clock digits: many pixels change when the sun and the clouds move.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before->rgb.size(); ++i)
        if (std::abs(before->rgb[i] - later->rgb[i]) > 24) ++changed;
    EXPECT_GT(changed, 1000u);
}

TEST(CameraImageTest, EachDeviceHasItsOwnColours) {
    std::set<std::vector<unsigned char>> skies;
    for (uint8_t last = 0; last < 4; ++last) {
        DeviceConfig device = modelDevice(0xC8);
        device.mac[5] = last;
        device.http.width = 64;
        device.http.height = 64;
        const auto image = test::decodeJpeg(bytesOf(renderCameraImage(device, kNoon)));
        ASSERT_TRUE(image);
        // A pixel of plain sky in the left middle.
        const std::size_t at = (32 * 64 + 2) * 3;
        skies.insert({image->rgb[at], image->rgb[at + 1], image->rgb[at + 2]});
    }
    EXPECT_EQ(skies.size(), 4u);
}

TEST(CameraImageTest, FontGlyphsAreDistinctAndUnknownsShowABox) {
    const std::string drawn = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-:./=_";
    std::set<BitmapFont::Glyph> glyphs;
    for (char c : drawn) {
        const auto glyph = BitmapFont::glyph(c);
        EXPECT_NE(glyph, BitmapFont::Glyph{}) << c;
        for (uint8_t row : glyph)
            EXPECT_EQ(row & ~0x1F, 0) << c;
        glyphs.insert(glyph);
    }
    EXPECT_EQ(glyphs.size(), drawn.size());
    EXPECT_EQ(BitmapFont::glyph('q'), BitmapFont::glyph('Q'));
    EXPECT_EQ(BitmapFont::glyph(' '), BitmapFont::Glyph{});
    const auto box = BitmapFont::glyph('\x01');
    EXPECT_EQ(box, BitmapFont::glyph('~'));
    EXPECT_FALSE(glyphs.contains(box));
}

}  // namespace
}  // namespace lm::sim
