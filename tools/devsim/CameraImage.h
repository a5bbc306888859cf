#pragma once

#include <vector>

#include "devsim/DeviceConfig.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// The device's current picture as a JPEG of its configured size: a sky in the device's own colours,
// a sun and clouds that move with the clock, and the identifier and time of day burnt in.
// The same device and time always give the same bytes.
std::vector<unsigned char> renderCameraImage(const DeviceConfig& device, WallClock::time_point now);

}  // namespace lm::sim
