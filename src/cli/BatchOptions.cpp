#include "cli/BatchOptions.h"

#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "cli/ExitStatus.h"
#include "cli/ScanCommand.h"
#include "cli/TerminalChannel.h"
#include "cli/TextTable.h"
#include "core/discovery/DeviceInventory.h"
#include "core/platform/TextMatch.h"

namespace lm::cli {

namespace {

// Each device's lines on standard error, whole and led by its address.
class TerminalBatch : public DeviceBatch::Observer {
public:
    TerminalBatch(const std::vector<BatchDevice>& devices, bool assumeYes, CommandContext& context)
        : devices_(devices), assumeYes_(assumeYes), context_(context) {}

    std::shared_ptr<WorkerChannel> channelFor(std::size_t index) override {
        auto ui = std::make_shared<TerminalChannel>(assumeYes_, context_.out, context_.err);
        ui->setBatchDevice(devices_[index].host, lines_);
        ui->setQuiet(context_.quiet);
        return ui;
    }

private:
    const std::vector<BatchDevice>& devices_;
    bool assumeYes_;
    CommandContext& context_;
    std::mutex lines_;
};

}  // namespace

void BatchOptions::addTo(CLI::App& command, bool several) {
    if (!several) {
        command.add_option("HOST", onlyHost_, "Device address");
        return;
    }
    command.add_option("HOST", hosts_, "Device address; several work on each of them");
    command.add_flag("--all", all_, "Every device a scan finds, instead of HOSTs");
    command.add_option("--type", type_, "With --all: only devices of this type, such as \"ZelvixXL VGA\"")
        ->type_name("DEVICETYPE");
    jobs_.addTo(command, "--jobs", "Devices worked on at once");
    command.add_flag("--json", json_,
                     "Print each device's result as a JSON array of {id, address, result, message} "
                     "instead of a table");
}

std::string BatchOptions::check() {
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

std::vector<BatchDevice> BatchOptions::devices(CommandContext& context) const {
    std::vector<BatchDevice> found;
    if (!all_) {
        for (const std::string& host : hosts_)
            found.push_back({host, {}, {}});
        return found;
    }
    DeviceInventory inventory;
    scanInto(inventory, context);
    for (const DeviceRecord& record : inventory.snapshot()) {
        // A manual entry's HTTP port is not the device's: the batch works on its host.
        if (type_.empty() || asciiLower(record.deviceType) == asciiLower(type_))
            found.push_back({record.hostPart(), record.id, record.deviceType, record.version});
    }
    return found;
}

int BatchOptions::run(CommandContext& context, const BatchWork& work, bool assumeYes,
                      std::vector<BatchRow>* rows) {
    const std::vector<BatchDevice> targets = devices(context);
    if (targets.empty()) {
        context.error(type_.empty() ? "the scan found no device"
                                    : "the scan found no device of type " + type_);
        return kExitFailed;
    }
    const std::vector<BatchRow> done = runOn(context, targets, jobs_.value(), work, assumeYes);
    print(done, context.out);
    if (rows) *rows = done;
    return batchSucceeded(done) ? kExitDone : kExitFindings;
}

std::vector<BatchRow> BatchOptions::runOn(CommandContext& context, const std::vector<BatchDevice>& targets,
                                          int jobs, const BatchWork& work, bool assumeYes) {
    TerminalBatch terminal(targets, assumeYes, context);
    DeviceBatch batch(targets, jobs);
    return batch.run(context.session.profile(), context.session.timing(), work, terminal);
}

void BatchOptions::print(const std::vector<BatchRow>& rows, std::ostream& out) const {
    if (json_) {
        // A value not known is null, never a text standing in for it.
        const auto textOrNull = [](const std::string& text) {
            return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
        };
        auto array = nlohmann::ordered_json::array();
        for (const BatchRow& row : rows)
            array.push_back({{"id", textOrNull(row.device.id)},
                             {"address", row.device.host},
                             {"result", batchResultWord(row.result)},
                             {"message", textOrNull(row.message)}});
        out << array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    TextTable table({"Host", "ID", "Device Type", "Result"});
    for (const BatchRow& row : rows)
        table.addRow({row.device.host, row.device.id, row.device.deviceType, batchResultText(row)});
    table.print(out);
}

}  // namespace lm::cli
