#include <gtest/gtest.h>

#include "CameraImage.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;

// Odd sizes that leave partial 8x8 blocks at the right and bottom edges, and the smallest one.
TEST(CameraImageTest, DecodesAtTheConfiguredSize) {
    const std::vector<std::pair<unsigned, unsigned>> sizes{{640, 480}, {1, 1}, {17, 9}};
    DeviceConfig device = modelDevice(0xC8);
    for (const auto& [width, height] : sizes) {
        device.http.width = width;
        device.http.height = height;
        const auto jpeg = renderCameraImage(device, WallClock::time_point(1700000000s));
        const auto image = test::decodeJpeg({reinterpret_cast<const char*>(jpeg.data()), jpeg.size()});
        ASSERT_TRUE(image) << width << "x" << height;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
    }
}

}  // namespace
}  // namespace lm::sim
