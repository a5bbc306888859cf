#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "devsim/DeviceConfig.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// A device's current picture, made once a frame however many clients ask for it in that frame, so
// a crowd of clients costs the simulator sends rather than drawing.
class PictureCache {
public:
    using Picture = std::shared_ptr<const std::vector<unsigned char>>;

    explicit PictureCache(const DeviceConfig& device) : device_(device) {}

    // The picture of the frame `now` falls in; empty bytes when it could not be made.
    Picture current(WallClock::time_point now);

private:
    const DeviceConfig& device_;
    std::mutex mutex_;  // held while a frame is drawn: the others asking wait for it, not draw it too
    WallClock::time_point frame_;
    Picture picture_;
};

}  // namespace lm::sim
