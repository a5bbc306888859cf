#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "core/wizard/DeviceSettings.h"
#include "core/wizard/SiteFile.h"

namespace lm {

// Which saved devices a restore works on: the IDs chosen (none: every device of the file), and the
// replacements, each putting a saved device's settings onto another device (old ID to new ID).
struct RestoreChoice {
    std::vector<std::string> ids;
    std::map<std::string, std::string> replacements;
};

// "OLD_ID=NEW_ID" as two IDs in capitals; false when it is not that.
bool parseReplacement(const std::string& text, std::pair<std::string, std::string>& replacement);

// Empty when the choice fits the file, else why not: an ID or an old ID the file does not hold,
// or two saved devices that would go onto one device.
std::string restoreChoiceProblem(const SiteFile& site, const RestoreChoice& choice);

// One saved device of a restore and where it goes. Only a row whose result is Ok is worked on;
// the others end with their result and message as they are.
// NOLINTNEXTLINE(bugprone-exception-escape): as SavedDevice's
struct RestorePlanRow {
    SavedDevice saved;
    BatchDevice target;  // host empty when no device of the target ID was found
    BatchResult result = BatchResult::Ok;
    std::string message;
};

// Pairs each chosen saved device with the device of its ID (or its replacement's) among those a
// scan found, refusing a file of another program version, a device whose settings were not saved,
// and a device of another type.
std::vector<RestorePlanRow> planRestore(const SiteFile& site, const RestoreChoice& choice,
                                        const std::vector<BatchDevice>& scanned,
                                        const std::string& programVersion);

// What is restored to a device once its settings are read: empty when the device is the one
// planned (its MAC gives targetId) and of the saved kind, and the saved settings can be written,
// with them in wanted and their names in given; else why not.
std::string restoredSettings(const SavedDevice& saved, const std::string& targetId,
                             const DeviceSettings& read, DeviceSettings& wanted,
                             std::set<std::string>& given);

}  // namespace lm
