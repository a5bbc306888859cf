#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/wizard/DeviceSettings.h"

namespace lm {

// A device's network and upload settings in plain words for a handover report, as label and text:
// "Network", "Names", "Web port", "Upload", "Schedule". No password ever appears.
std::vector<std::pair<std::string, std::string>> settingsInWords(const DeviceSettings& settings);

}  // namespace lm
