#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "core/ops/ReportsByHost.h"
#include "core/platform/NetworkProfile.h"
#include "core/platform/Timing.h"
#include "core/wizard/AddressPlan.h"

namespace lm {

struct PlanOptions {
    std::string password;
    bool acceptWarnings = false;       // a page's warning is accepted rather than stopping the device
    Milliseconds returnLimit{120000};  // how long each device is waited for at its new address
};

// What one device of a plan had, was given, and where it answered afterwards.
struct PlanReport {
    std::string oldAddress;
    std::string oldHostname;
    bool written = false;
    std::optional<std::string> answeredAt;  // the address it came back at; nothing when it did not
};

// What the devices of a plan gave, by their address before the plan.
using PlanReports = ReportsByHost<PlanReport>;

// A plan row's result as the table shows it; a device written but lost afterwards says it was written.
std::string planResultText(const BatchRow& row, const std::optional<PlanReport>& report);

// How many devices of a plan answered where planned (a row ends ok only when its device did), and the
// line saying so against the plan's size.
std::size_t answeredWherePlanned(const std::vector<BatchRow>& rows);
std::string planSummaryText(std::size_t answered, std::size_t planned);

// Whether an address answers the discovery probe: the check a plan's new addresses must pass.
std::function<bool(const std::string& address)> answersDiscoveryProbe(const NetworkProfile& profile);

// Gives each planned device its static address and name: read as config apply reads, only the address
// settings and the name changed, checked by the pages' rules, written, and then waited for at the new
// address. A device that does not answer there within the limit has failed.
BatchWork planBatchWork(const std::vector<PlannedAddress>& plan, PlanOptions options,
                        std::shared_ptr<PlanReports> reports);

}  // namespace lm
