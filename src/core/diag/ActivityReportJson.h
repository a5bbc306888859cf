#pragma once

#include <string>

#include "core/diag/ActivityReport.h"

namespace lm {

// The report as one JSON object for scripts: "id" (the device ID), "mac" (the MAC it is made from),
// "address", the readings under their keys (numbers as numbers: "temperature" in degrees
// Fahrenheit, "uptime" in seconds, "processShare" in percent; null where the window shows that a
// value was not read), "comments" and the "ratings" as true or false.
std::string activityReportJson(const ActivityReport& report);

}  // namespace lm
