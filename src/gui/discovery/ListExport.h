#pragma once

#include <QString>
#include <vector>

#include "core/discovery/DeviceRecord.h"

namespace lm::gui {

// Saving the device list to a file the user chose, as CSV or JSON.
class ListExport {
public:
    static constexpr const char* kFilters = "CSV (*.csv);;JSON (*.json)";

    // JSON when the name ends in ".json", or has no such ending and the JSON filter was chosen.
    static bool wantsJson(const QString& path, const QString& selectedFilter);

    // Writes the list whole or leaves the file as it was; what went wrong, empty when written.
    static QString write(const QString& path, bool json, const std::vector<DeviceRecord>& records);
};

}  // namespace lm::gui
