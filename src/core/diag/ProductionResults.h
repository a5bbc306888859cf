#pragma once

#include <string>
#include <vector>

#include "core/diag/ProductionTest.h"

namespace lm {

// The production test's rows for spreadsheets and scripts, the cells without the list's padding.
// CSV: the list's column titles and "Verdict", each device named in the first column as the list
// names it. JSON: an array of one object per device: "id" (null when the device never told it),
// "address", each column under its lowerCamelCase name, "verdict"; an empty cell is null.
std::string productionResultsCsv(const std::vector<ProductionRow>& rows);
std::string productionResultsJson(const std::vector<ProductionRow>& rows);

}  // namespace lm
