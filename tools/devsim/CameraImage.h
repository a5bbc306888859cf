#pragma once

#include <chrono>
#include <vector>

#include "devsim/DeviceConfig.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// The camera takes a picture a second, as often as the time of day burnt into it changes.
inline constexpr std::chrono::seconds kFramePeriod{1};

// The start of the frame that `now` falls in.
WallClock::time_point cameraFrame(WallClock::time_point now);

// The device's picture of the frame `now` falls in, as a JPEG of its configured size: a sky in the
// device's own colours, a sun and clouds that move with the clock, and the identifier and time of
// day burnt in. The same device and frame always give the same bytes.
std::vector<unsigned char> renderCameraImage(const DeviceConfig& device, WallClock::time_point now);

}  // namespace lm::sim
