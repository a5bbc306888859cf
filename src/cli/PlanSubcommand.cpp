#include "cli/PlanSubcommand.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "cli/BatchOptions.h"
#include "cli/ExitStatus.h"
#include "cli/ScanCommand.h"
#include "cli/TextTable.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DeviceProbe.h"
#include "core/wizard/AddressPlan.h"
#include "core/wizard/PlanBatch.h"

namespace lm::cli {

namespace {

constexpr const char* kKept = "(kept)";

}  // namespace

void PlanSubcommand::addTo(CLI::App& config) {
    plan_ = config.add_subcommand("plan",
                                  "Give several devices static addresses and names: plan (--all | HOST...) "
                                  "(--range FIRST-LAST | --csv PLAN.csv)");
    plan_->add_option("HOST", hosts_, "Device address; the devices to plan for")->type_name("");
    plan_->add_flag("--all", all_, "Every device a scan finds, instead of HOSTs");
    plan_->add_option("--range", range_, "The addresses to give, in the order of the devices' IDs")
        ->type_name("FIRST-LAST");
    plan_
        ->add_option("--csv", csv_, "The plan as rows of id,ipAddress,netmask,gateway,hostname, header first")
        ->type_name("PLAN.csv");
    plan_->add_option("--netmask", netmask_, "Netmask for every device (else the interface's reaching it)")
        ->type_name("M");
    plan_->add_option("--gateway", gateway_, "Gateway for every device")->type_name("G");
    plan_
        ->add_option("--hostname-pattern", hostnamePattern_,
                     "Name each device: {n} is its number in the plan, {n:02} the same two digits wide")
        ->type_name("'cam-{n:02}'");
    plan_->add_flag("--dry-run", dryRun_, "Check the plan and print it; send nothing");
    plan_->add_flag("-y,--yes", assumeYes_, "Accept every warning of the pages' rules");
    jobs_.addTo(*plan_, "--jobs", "Devices worked on at once");
    password_.addTo(*plan_, "Admin password for every device (else LMTOOLS_PASSWORD, else the default)");
}

std::string PlanSubcommand::check() {
    if (all_ && !hosts_.empty()) return "give HOSTs or --all, not both";
    if (!all_ && hosts_.empty()) return missingArgument("HOST");
    std::set<std::string> seen;
    for (const std::string& host : hosts_) {
        if (auto problem = hostProblem(host); !problem.empty()) return problem;
        if (!seen.insert(host).second) return host + " is given twice";
    }
    if (range_.empty() == csv_.empty()) return "give --range FIRST-LAST or --csv PLAN.csv (one of them)";
    if (!range_.empty() && !parseAddressRange(range_))
        return "--range takes FIRST-LAST, two addresses with FIRST not after LAST, not \"" + range_ + "\"";
    for (const auto& [name, value] :
         {std::pair<const char*, const std::string&>{"--netmask", netmask_}, {"--gateway", gateway_}})
        if (!value.empty() && !parseIpv4(value))
            return std::string(name) + " takes an address, not \"" + value + "\"";
    if (!hostnamePattern_.empty()) {
        std::string why;
        hostnameFromPattern(hostnamePattern_, 1, why);
        if (!why.empty()) return why;
    }
    if (auto problem = jobs_.check(); !problem.empty()) return problem;
    return password_.check();
}

std::vector<BatchDevice> PlanSubcommand::devices(CommandContext& context) const {
    std::vector<BatchDevice> found;
    if (all_) {
        DeviceInventory inventory;
        scanInto(inventory, context);
        for (const DeviceRecord& record : inventory.snapshot())
            found.push_back({record.hostPart(), record.id, record.deviceType});
        if (found.empty()) context.error("config plan: the scan found no device");
        return found;
    }
    // A plan names devices by ID: each HOST must say which it is before anything is planned.
    for (const std::string& host : hosts_) {
        const auto id = probeDeviceId(host, context.session.profile());
        if (!id) {
            context.error("config plan: " + host + " did not answer the discovery probe; nothing was sent");
            return {};
        }
        found.push_back({host, *id, {}});
    }
    return found;
}

int PlanSubcommand::run(CommandContext& context) {
    std::vector<PlanFileRow> rows;
    if (!csv_.empty()) {
        std::ifstream file(csv_, std::ios::binary);
        std::string problem = file ? readPlanFile(file, rows) : "cannot be read";
        if (!problem.empty()) {
            context.error("config plan: " + csv_ + ": " + problem);
            return kExitUsage;
        }
    }
    const std::vector<BatchDevice> found = devices(context);
    if (found.empty()) return kExitFailed;

    PlanSource source{std::nullopt, std::move(rows), csv_};
    if (csv_.empty()) source.range = parseAddressRange(range_);
    const NetworkProfile& profile = context.session.profile();
    std::vector<PlannedAddress> plan;
    const std::string problem = checkedPlan(found, source, {netmask_, gateway_, hostnamePattern_},
                                            profile.interfaceTable().value_or(std::vector<InterfaceRow>{}),
                                            answersDiscoveryProbe(profile), plan);
    if (!problem.empty()) {
        context.error("config plan: " + problem + "; nothing was sent");
        return kExitFailed;
    }

    if (dryRun_) {
        TextTable table({"ID", "Old Address", "New Address", "Netmask", "Gateway", "New Name"});
        for (const PlannedAddress& row : plan)
            table.addRow({row.device.id, row.device.host, row.address, row.netmask, row.gateway,
                          row.hostname.empty() ? kKept : row.hostname});
        table.print(context.out);
        return kExitDone;
    }

    std::vector<BatchDevice> targets;
    for (const PlannedAddress& row : plan)
        targets.push_back(row.device);
    PlanOptions options;
    options.password = password_.given().value_or(Session::kDefaultPassword);
    options.acceptWarnings = assumeYes_;
    const auto reports = std::make_shared<PlanReports>();
    const std::vector<BatchRow> done = BatchOptions::runOn(context, targets, jobs_.value(),
                                                           planBatchWork(plan, options, reports), assumeYes_);

    TextTable table({"ID", "Old Address", "New Address", "Old Name", "New Name", "Result"});
    for (const PlannedAddress& row : plan) {
        const auto ended = std::find_if(done.begin(), done.end(), [&](const BatchRow& each) {
            return each.device.host == row.device.host;
        });
        const BatchRow unworked{row.device, BatchRow::State::Done, BatchResult::Skipped, "not worked on"};
        const BatchRow& result = ended == done.end() ? unworked : *ended;
        const auto report = reports->of(row.device.host);
        const std::string oldName = report ? report->oldHostname : "";
        table.addRow({row.device.id, row.device.host, row.address, oldName,
                      row.hostname.empty() ? oldName : row.hostname, planResultText(result, report)});
    }
    table.print(context.out);
    return answeredWherePlanned(done) == plan.size() ? kExitDone : kExitFindings;
}

}  // namespace lm::cli
