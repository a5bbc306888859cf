#pragma once

#include <string>
#include <vector>

#include "core/discovery/DeviceRecord.h"

namespace lm {

// One field that differs between a device's two sightings.
struct FieldChange {
    std::string name;  // "address", "type" or "version"
    std::string before, after;
};

// One device added, gone or changed between two scans.
struct DeviceChange {
    enum class Kind { added, gone, changed };
    Kind kind = Kind::added;
    DeviceRecord device;  // as now; as last seen when gone
    std::vector<FieldChange> fields;
};

// What differs between a saved scan and this one. Devices are matched by ID; those whose ID is
// "Unknown" (a reply without one) by address as well, since the ID alone says nothing. The changes
// come sorted by ID, then address.
std::vector<DeviceChange> scanChanges(const std::vector<DeviceRecord>& previous,
                                      const std::vector<DeviceRecord>& current);

}  // namespace lm
