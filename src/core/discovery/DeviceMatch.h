#pragma once

#include <string_view>

#include "core/discovery/DeviceRecord.h"

namespace lm {

// Whether a listed device answers a search as people type it: the text, ignoring ASCII case and
// the blanks around it, appears in the device's ID, address or device type. An empty search
// matches no device.
bool deviceMatches(const DeviceRecord& record, std::string_view search);

}  // namespace lm
