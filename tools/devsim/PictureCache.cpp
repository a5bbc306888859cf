#include "devsim/PictureCache.h"

#include "devsim/CameraImage.h"

namespace lm::sim {

PictureCache::Picture PictureCache::current(WallClock::time_point now) {
    const WallClock::time_point frame = cameraFrame(now);
    std::lock_guard lock(mutex_);
    if (!picture_ || frame != frame_) {
        picture_ = std::make_shared<const std::vector<unsigned char>>(renderCameraImage(device_, frame));
        frame_ = frame;
    }
    return picture_;
}

}  // namespace lm::sim
