#pragma once

#include <string>
#include <vector>

#include "core/diag/ProductionTest.h"

namespace lm {

// The production test's rows as a file. CSV: the list's column titles and "Verdict", then a record
// per device with its ID in the first column. JSON: an array of objects, one per device, keyed
// id, duration, rate, exposure, pid, devices, temperature, errors, versions, firmware, watchdog,
// imaging and verdict; a cell not (yet) measured is null. Cells lose the blanks that line them up
// on screen; device text is otherwise kept as it came (JSON replaces what is not UTF-8).
std::string productionCsv(const std::vector<ProductionRow>& rows);
std::string productionJson(const std::vector<ProductionRow>& rows);

}  // namespace lm
