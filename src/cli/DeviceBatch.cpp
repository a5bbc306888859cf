#include "cli/DeviceBatch.h"

#include <algorithm>
#include <set>

#include "cli/ExitStatus.h"
#include "cli/ScanCommand.h"
#include "cli/TextTable.h"
#include "core/discovery/DeviceInventory.h"
#include "core/ops/JobPool.h"
#include "core/platform/TextMatch.h"

namespace lm::cli {

std::string batchFailure(Outcome outcome, Session& session, const std::string& words) {
    const std::string said = words.empty() ? "failed" : words;
    switch (outcome) {
        case Outcome::Refused:
            return "refused: " + said;
        case Outcome::NoAnswer:
            return (session.telnet().lastConnectFailed() ? "unreachable: " : "no answer: ") + said;
        default:
            return said;
    }
}

void DeviceBatch::addTo(CLI::App& command, bool several) {
    if (!several) {
        command.add_option("HOST", onlyHost_, "Device address");
        return;
    }
    command.add_option("HOST", hosts_, "Device address; several work on each of them");
    command.add_flag("--all", all_, "Every device a scan finds, instead of HOSTs");
    command.add_option("--type", type_, "With --all: only devices of this type, such as \"ZelvixXL VGA\"")
        ->type_name("DEVICETYPE");
    jobs_.addTo(command, "--jobs", "Devices worked on at once");
}

std::string DeviceBatch::check() {
    if (!onlyHost_.empty()) hosts_ = {onlyHost_};
    if (all_ && !hosts_.empty()) return "give HOSTs or --all, not both";
    if (!type_.empty() && !all_) return "--type chooses among the devices of --all: add --all";
    if (!all_ && hosts_.empty()) return missingArgument("HOST");
    std::set<std::string> seen;
    for (const std::string& host : hosts_) {
        if (auto problem = hostProblem(host); !problem.empty()) return problem;
        if (!seen.insert(host).second) return host + " is given twice";
    }
    return jobs_.check();
}

std::vector<BatchDevice> DeviceBatch::devices(CommandContext& context) const {
    std::vector<BatchDevice> found;
    if (!all_) {
        for (const std::string& host : hosts_)
            found.push_back({host, {}, {}});
        return found;
    }
    DeviceInventory inventory;
    scanInto(inventory, context);
    std::set<std::string> seen;
    for (const DeviceRecord& record : inventory.snapshot()) {
        if (!type_.empty() && asciiLower(record.deviceType) != asciiLower(type_)) continue;
        // A manual entry's HTTP port is not the device's; the device is worked on once.
        if (seen.insert(record.hostPart()).second)
            found.push_back({record.hostPart(), record.id, record.deviceType});
    }
    return found;
}

int DeviceBatch::run(CommandContext& context, const Work& work) {
    const std::vector<BatchDevice> targets = devices(context);
    if (targets.empty()) {
        context.error(type_.empty() ? "the scan found no device"
                                    : "the scan found no device of type " + type_);
        return kExitFailed;
    }
    std::vector<std::optional<std::string>> results(targets.size());
    std::mutex lines;
    JobPool::run(targets.size(), jobs_.value(), [&](JobPool& pool) {
        Session session(context.session.profile(), context.session.timing());
        while (const auto i = pool.next()) {
            results[*i] = work(session, targets[*i], lines);
            // One row each in the table.
            if (results[*i]) std::replace(results[*i]->begin(), results[*i]->end(), '\n', ' ');
        }
    });

    TextTable table({"Host", "ID", "Device Type", "Result"});
    std::size_t failed = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        failed += results[i].has_value();
        table.addRow({targets[i].host, targets[i].id, targets[i].deviceType, results[i].value_or("OK")});
    }
    table.print(context.out);
    return failed == 0 ? kExitDone : kExitFindings;
}

}  // namespace lm::cli
