#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "core/ops/ReportsByHost.h"
#include "core/wizard/SettingsApply.h"
#include "core/wizard/SiteFile.h"
#include "core/wizard/SiteRestore.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

// The wizard's reader on a batch job's session: the password given, no one asked for another.
Outcome readBatchDevice(WorkerTask& task, const BatchDevice& device, const std::string& password,
                        WizardSession& wizard, std::unique_ptr<WizardPage>& page);

// What the devices of a backup gave, by address; filled from the batch's jobs.
using SiteReadings = ReportsByHost<SavedDevice>;

// The file of a finished backup: every row's device, with its settings or why they are missing.
SiteFile siteFile(const SiteReadings& readings, const std::vector<BatchRow>& rows, std::string takenAt);

// Reads each device's settings as config show does, into readings.
BatchWork backupBatchWork(std::string password, std::shared_ptr<SiteReadings> readings);

struct RestoreOptions {
    std::string password;
    bool dryRun = false;          // read and compare only
    bool acceptWarnings = false;  // a page's warning is accepted rather than stopping the device
};

// What a restore found and did on one device.
struct RestoreReport {
    std::string savedId;
    std::vector<SettingChange> changes;  // after the pages' rules
    bool written = false;
};

// What the devices of a restore gave, by address.
using RestoreReports = ReportsByHost<RestoreReport>;

// A restore's row as a table shows it: for a device worked on, whether it already matched, or how
// many settings were written (or, in a dry run, would change).
std::string restoreResultText(const BatchRow& row, const std::optional<RestoreReport>& report, bool dryRun);

// Restores the plan's rows that are to be worked on: each device read, checked against its saved
// entry and the pages' rules, and only then, when anything differs, written as config apply writes.
BatchWork restoreBatchWork(const std::vector<RestorePlanRow>& plan, RestoreOptions options,
                           std::shared_ptr<RestoreReports> reports);

}  // namespace lm
