#pragma once

#include <ostream>

#include "discovery/DeviceInventory.h"
#include "link/Session.h"

namespace lm::cli {

struct ScanOptions {
    bool json = false;
};

// Runs one scan into `inventory` as the scan thread does; progress and notes go to err.
void scanInto(DeviceInventory& inventory, const Session& session, std::ostream& err);

// Runs one scan as the scan thread does and prints what it found. Returns the exit status.
int runScan(const Session& session, const ScanOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lm::cli
