#pragma once

#include "cli/Command.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/ScanScope.h"

namespace lm::cli {

// Runs one scan into `inventory` as the scan thread does; progress (on a terminal) and notes go
// to standard error unless quiet.
void scanInto(DeviceInventory& inventory, const CommandContext& context, ScanScope scope = {});

}  // namespace lm::cli
