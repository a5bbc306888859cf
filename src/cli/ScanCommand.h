#pragma once

#include <ostream>

#include "discovery/DeviceInventory.h"
#include "link/Session.h"

namespace lm::cli {

// Runs one scan into `inventory` as the scan thread does; progress and notes go to err.
void scanInto(DeviceInventory& inventory, const Session& session, std::ostream& err);

}  // namespace lm::cli
