#pragma once

#include <string>

#include "devsim/DeviceConfig.h"

namespace lm::sim {

// The device's own pages, which the desktop program's "View Device" and "Configure Device" open:
// the home page ("/") and the configuration page ("/admin.cgi"). Both name the device and lead to
// its picture; its configured text is escaped.
std::string homePage(const DeviceConfig& device);
std::string adminPage(const DeviceConfig& device);

}  // namespace lm::sim
