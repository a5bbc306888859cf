#include "core/wizard/PlanBatch.h"

#include <algorithm>

#include "core/discovery/DeviceProbe.h"
#include "core/wizard/DeviceReturn.h"
#include "core/wizard/SettingsApply.h"
#include "core/wizard/SettingsJson.h"
#include "core/wizard/SettingsWriter.h"
#include "core/wizard/SiteBatch.h"

namespace lm {

std::string planResultText(const BatchRow& row, const std::optional<PlanReport>& report) {
    if (row.result == BatchResult::Ok) return "OK";
    // A device written but not found afterwards is not where it was either: say so.
    if (report && report->written) return "written; " + batchResultText(row);
    return batchResultText(row);
}

std::size_t answeredWherePlanned(const std::vector<BatchRow>& rows) {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [](const BatchRow& row) {
        return row.state == BatchRow::State::Done && row.result == BatchResult::Ok;
    }));
}

std::string planSummaryText(std::size_t answered, std::size_t planned) {
    return std::to_string(answered) + " of " + std::to_string(planned) +
           (planned == 1 ? " device" : " devices") + " answered where planned.";
}

std::function<bool(const std::string& address)> answersDiscoveryProbe(const NetworkProfile& profile) {
    return [profile](const std::string& address) {
        const auto ip = parseIpv4(address);
        return ip && probeDevice(*ip, profile, kDeviceProbeWait).has_value();
    };
}

BatchWork planBatchWork(const std::vector<PlannedAddress>& plan, PlanOptions options,
                        std::shared_ptr<PlanReports> reports) {
    auto byHost = std::make_shared<std::map<std::string, PlannedAddress>>();
    for (const PlannedAddress& row : plan)
        (*byHost)[row.device.host] = row;
    BatchWork work;
    work.run = [byHost, options = std::move(options), reports](WorkerTask& task,
                                                               const BatchDevice& device) -> OperationResult {
        const auto refuse = [&](const std::string& why) -> OperationResult {
            task.status(why);
            return {Outcome::Refused, why};
        };
        const auto planned = byHost->find(device.host);
        if (planned == byHost->end()) return refuse("no address is planned for " + device.host);
        const PlannedAddress& row = planned->second;
        WizardSession wizard(task.session());
        std::unique_ptr<WizardPage> page;
        const Outcome read = readBatchDevice(task, device, options.password, wizard, page);
        if (read != Outcome::Ok) return {read, {}};

        // Only the address settings and the name change; everything else stays as the device has it.
        const DeviceSettings before = wizard.settings();
        const std::string id = before.macAddress.empty() ? device.id : deviceIdFromMac(before.macAddress);
        if (id != row.device.id)
            return refuse("the device at " + device.host + " is " + id + ", not " + row.device.id);
        PlanReport report{device.host, before.hostname, false, std::nullopt};
        reports->add(device.host, report);
        if (!before.primaryIsNetwork)
            return refuse("the device dials out first: its address cannot be waited for");
        DeviceSettings wanted = before;
        wanted.ipDhcp = false;
        wanted.ipAddress = row.address;
        wanted.netmask = row.netmask;
        wanted.gateway = row.gateway;
        std::set<std::string> given{"ipDhcp", "ipAddress", "netmask", "gateway"};
        if (!row.hostname.empty()) {
            wanted.hostname = row.hostname;
            given.insert("hostname");
        }
        if (auto why = unwritableSetting(wanted, given); !why.empty()) return refuse(why);
        std::string declined;
        const auto walk = takeSettings(wizard, wanted, given, [&](int, const wizard::PageMessage& message) {
            if (message.icon == wizard::PageMessage::Icon::Information || options.acceptWarnings) return true;
            declined = message.text;
            return false;
        });
        if (!walk.reachedSummary) {
            if (!declined.empty()) return refuse("a warning was not accepted: " + declined);
            return refuse("the planned address is refused: " + (walk.stop ? walk.stop->text : std::string()));
        }
        task.status("Writing " + row.address);
        const Outcome written = writeSettings(wizard, *page, nullptr);
        report.written = written == Outcome::Ok;
        if (written != Outcome::Ok) {
            reports->add(device.host, report);
            return {written, {}};
        }
        task.status("Waiting at " + row.address);
        const Deadline deadline(options.returnLimit);
        report.answeredAt =
            waitForDeviceReturn(wizard.settings(), id, task.session().profile(), task.session().timing(),
                                options.returnLimit, [&task] { return task.closing(); });
        // A telnet port taking connections there is not proof enough: the device must say who it is,
        // and one still starting up may take a moment before it does.
        std::optional<std::string> answering;
        while (report.answeredAt == row.address && !task.closing()) {
            answering = probeDeviceId(row.address, task.session().profile());
            if (answering || deadline.expired()) break;
        }
        reports->add(device.host, report);
        if (answering != id) {
            std::string why = "did not answer at " + row.address + " within " +
                              std::to_string(options.returnLimit.count() / 1000) + " s";
            if (answering) why = row.address + " is answered by " + *answering + ", not " + id;
            task.status(why);
            return {Outcome::Failed, why};
        }
        task.status("Answers at " + row.address);
        return {Outcome::Ok, {}};
    };
    return work;
}

}  // namespace lm
