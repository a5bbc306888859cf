#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "core/discovery/ScanChanges.h"

namespace lm::cli {

// One line per device added, gone or changed since the saved scan, then a summary; the exit status:
// 0 when nothing changed, 3 when something did.
int printScanChanges(const std::vector<DeviceChange>& changes, std::size_t devicesNow,
                     const std::string& previousPath, std::ostream& out);

}  // namespace lm::cli
