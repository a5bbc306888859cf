#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/platform/Ipv4.h"
#include "devsim/CameraImage.h"
#include "devsim/PictureCache.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;

// Clients asking within one frame share its one drawing, which is the frame's own picture; the next
// frame is drawn anew, so the picture stays live.
TEST(PictureCacheTest, DrawsEachFrameOnceAndMovesOnWithTheClock) {
    DeviceConfig device = demoDevices(1, *parseIpv4("127.0.0.90")).front();
    device.http.width = 64;
    device.http.height = 48;
    PictureCache cache(device);
    const WallClock::time_point frame(1700000000s);

    std::vector<PictureCache::Picture> seen(4);
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < seen.size(); ++i)
        clients.emplace_back([&, i] { seen[i] = cache.current(frame + std::chrono::milliseconds(250 * i)); });
    for (auto& client : clients)
        client.join();
    for (const auto& picture : seen)
        EXPECT_EQ(picture, seen.front());
    ASSERT_FALSE(seen.front()->empty());
    EXPECT_EQ(*seen.front(), renderCameraImage(device, frame + 999ms));

    const auto next = cache.current(frame + kFramePeriod);
    EXPECT_NE(next, seen.front());
    EXPECT_NE(*next, *seen.front());
    EXPECT_EQ(*next, renderCameraImage(device, frame + kFramePeriod));
}

}  // namespace
}  // namespace lm::sim
