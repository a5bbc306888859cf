#include "core/wizard/SiteBatch.h"

#include <map>

#include "core/ops/FirmwareFolder.h"
#include "core/ops/OperationState.h"
#include "core/wizard/DeviceReturn.h"
#include "core/wizard/SettingsJson.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/SettingsWriter.h"
#include "core/wizard/SiteRestore.h"

namespace lm {

Outcome readBatchDevice(WorkerTask& task, const BatchDevice& device, const std::string& password,
                        WizardSession& wizard, std::unique_ptr<WizardPage>& page) {
    Session& session = task.session();
    session.setStartPassword(password);
    session.setConnectionIsNetwork(true);
    wizard.settings().targetIp = device.host;
    WorkerChannel* ui = task.ui();
    if (!ui) return Outcome::Cancelled;
    page = std::make_unique<WizardPage>(*ui, std::make_shared<OperationState>());
    return readSettings(wizard, *page, nullptr);
}

SiteFile siteFile(const SiteReadings& readings, const std::vector<BatchRow>& rows, std::string takenAt) {
    SiteFile site;
    site.takenAt = std::move(takenAt);
    for (const BatchRow& row : rows) {
        auto read = readings.of(row.device.host);
        if (read && row.result == BatchResult::Ok) {
            site.devices.push_back(std::move(*read));
            continue;
        }
        SavedDevice device;
        device.id = row.device.id;
        device.address = row.device.host;
        device.deviceType = row.device.deviceType;
        device.problem = batchResultText(row);
        site.devices.push_back(std::move(device));
    }
    return site;
}

BatchWork backupBatchWork(std::string password, std::shared_ptr<SiteReadings> readings) {
    BatchWork work;
    work.run = [password = std::move(password), readings](WorkerTask& task,
                                                          const BatchDevice& device) -> OperationResult {
        WizardSession wizard(task.session());
        std::unique_ptr<WizardPage> page;
        const Outcome read = readBatchDevice(task, device, password, wizard, page);
        if (read != Outcome::Ok) return {read, {}};
        const DeviceSettings& settings = wizard.settings();
        SavedDevice saved;
        // The device's own MAC names it; the scan's ID is only a claim.
        saved.id = settings.macAddress.empty() ? device.id : deviceIdFromMac(settings.macAddress);
        saved.address = device.host;
        saved.mac = settings.macAddress;
        saved.deviceType = device.deviceType;
        saved.version = versionText(task.session().firmware());
        saved.settings = settingsToJson(settings, task.session().firmware());
        readings->add(device.host, std::move(saved));
        task.status("Settings read");
        return {Outcome::Ok, {}};
    };
    return work;
}

std::string restoreResultText(const BatchRow& row, const std::optional<RestoreReport>& report, bool dryRun) {
    if (row.result != BatchResult::Ok || !report) return batchResultText(row);
    const std::size_t count = report->changes.size();
    if (count == 0) return "OK: already matches";
    const std::string settings = std::to_string(count) + (count == 1 ? " setting" : " settings");
    return dryRun ? "OK: " + settings + " would change" : "OK: " + settings + " written";
}

BatchWork restoreBatchWork(const std::vector<RestorePlanRow>& plan, RestoreOptions options,
                           std::shared_ptr<RestoreReports> reports) {
    auto saved = std::make_shared<std::map<std::string, SavedDevice>>();
    for (const RestorePlanRow& row : plan)
        if (row.result == BatchResult::Ok) (*saved)[row.target.id] = row.saved;
    BatchWork work;
    work.run = [saved, options = std::move(options), reports](WorkerTask& task,
                                                              const BatchDevice& device) -> OperationResult {
        const auto entry = saved->find(device.id);
        const auto refuse = [&](const std::string& why) -> OperationResult {
            task.status(why);
            return {Outcome::Refused, why};
        };
        if (entry == saved->end()) return refuse("no saved settings are meant for " + device.id);
        WizardSession wizard(task.session());
        std::unique_ptr<WizardPage> page;
        const Outcome read = readBatchDevice(task, device, options.password, wizard, page);
        if (read != Outcome::Ok) return {read, {}};

        // Everything is checked before anything is written: a device is restored whole or not at all.
        const DeviceSettings before = wizard.settings();
        DeviceSettings wanted;
        std::set<std::string> given;
        if (auto why = restoredSettings(entry->second, device.id, before, wanted, given); !why.empty())
            return refuse(why);
        std::string declined;
        const auto walk = takeSettings(wizard, wanted, given, [&](int, const wizard::PageMessage& message) {
            if (message.icon == wizard::PageMessage::Icon::Information || options.acceptWarnings) return true;
            declined = message.text;
            return false;
        });
        if (!walk.reachedSummary) {
            if (!declined.empty()) return refuse("a warning was not accepted: " + declined);
            return refuse("the saved settings are refused: " + (walk.stop ? walk.stop->text : std::string()));
        }
        RestoreReport report{entry->second.id, settingChanges(before, wizard.settings()), false};
        if (options.dryRun || report.changes.empty()) {
            task.status("Compared");
            reports->add(device.host, report);
            return {Outcome::Ok, {}};
        }
        const Outcome written = writeSettings(wizard, *page, nullptr);
        report.written = written == Outcome::Ok;
        reports->add(device.host, report);
        return {written, {}};
    };
    return work;
}

}  // namespace lm
