#include "cli/SiteSubcommands.h"

#include <algorithm>

#include "cli/ExitStatus.h"
#include "cli/ScanCommand.h"
#include "cli/TextTable.h"
#include "core/ProgramVersion.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DeviceRecord.h"
#include "core/wizard/SiteBatch.h"
#include "core/wizard/SiteRestore.h"

namespace lm::cli {

namespace {

std::string quoted(const std::string& text, const std::ostream& out) {
    return "\"" + (isTerminal(out) ? terminalSafe(text) : text) + "\"";
}

}  // namespace

void SiteSubcommands::addTo(CLI::App& config) {
    backup_ = config.add_subcommand(
        "backup", "Read the settings of several devices into one file: backup HOST... | --all -o SITE.json");
    devices_.addTo(*backup_);
    backup_->add_option("-o,--output", output_, "The file to write (JSON)")
        ->required()
        ->type_name("SITE.json");
    passwords_[0].addTo(*backup_,
                        "Admin password for every device (else LMTOOLS_PASSWORD, else the default)");

    restore_ = config.add_subcommand("restore",
                                     "Write each device's saved settings to the device of that ID a scan "
                                     "finds: restore SITE.json [ID...]");
    restore_->add_option("SITE", siteFile_, "The file config backup wrote")
        ->required()
        ->type_name("SITE.json");
    restore_->add_option("ID", ids_, "Only these saved devices (else every one)")->type_name("");
    restore_
        ->add_option("--replace", replacements_,
                     "Put a saved device's settings onto its replacement instead: OLD_ID=NEW_ID")
        ->type_name("OLD_ID=NEW_ID");
    jobs_.addTo(*restore_, "--jobs", "Devices worked on at once");
    restore_->add_flag("--dry-run", dryRun_, "Read and compare only: print the settings that would change");
    restore_->add_flag("-y,--yes", assumeYes_, "Accept every warning of the pages' rules");
    passwords_[1].addTo(*restore_,
                        "Admin password for every device (else LMTOOLS_PASSWORD, else the default)");
}

bool SiteSubcommands::parsed() const {
    return (backup_ && backup_->parsed()) || (restore_ && restore_->parsed());
}

std::string SiteSubcommands::usage() const {
    return backup_->parsed() ? "config backup HOST... -o SITE.json" : "config restore SITE.json";
}

std::string SiteSubcommands::check() {
    if (backup_->parsed()) {
        if (auto problem = devices_.check(); !problem.empty()) return problem;
        return passwords_[0].check();
    }
    for (const std::string& id : ids_)
        if (!macOfDeviceId(id)) return "\"" + id + "\" is not a device ID such as 024C55-C20002";
    std::pair<std::string, std::string> replacement;
    for (const std::string& text : replacements_)
        if (!parseReplacement(text, replacement))
            return "--replace takes OLD_ID=NEW_ID, two device IDs, not \"" + text + "\"";
    if (auto problem = jobs_.check(); !problem.empty()) return problem;
    return passwords_[1].check();
}

int SiteSubcommands::run(CommandContext& context) {
    return backup_->parsed() ? backup(context) : restore(context);
}

int SiteSubcommands::backup(CommandContext& context) {
    const auto readings = std::make_shared<SiteReadings>();
    const std::string password = passwords_[0].given().value_or(Session::kDefaultPassword);
    const std::string takenAt = siteTimeNow();
    std::vector<BatchRow> rows;
    const int status = devices_.run(context, backupBatchWork(password, readings), false, &rows);
    if (rows.empty()) return status;
    SiteFile site = siteFile(*readings, rows, takenAt);
    site.programVersion = kProgramVersion;
    if (auto problem = writeSiteFile(output_, site); !problem.empty()) {
        context.error("config backup: " + problem);
        return kExitFailed;
    }
    return status;
}

int SiteSubcommands::restore(CommandContext& context) {
    SiteFile site;
    if (auto problem = readSiteFile(siteFile_, site); !problem.empty()) {
        context.error("config restore: " + problem);
        return kExitUsage;
    }
    RestoreChoice choice{ids_, {}};
    for (const std::string& text : replacements_) {
        std::pair<std::string, std::string> replacement;
        parseReplacement(text, replacement);
        if (!choice.replacements.insert(replacement).second) {
            context.error("config restore: --replace gives " + replacement.first + " twice");
            return kExitUsage;
        }
    }
    if (auto problem = restoreChoiceProblem(site, choice); !problem.empty()) {
        context.error("config restore: " + problem);
        return kExitUsage;
    }

    DeviceInventory inventory;
    scanInto(inventory, context);
    std::vector<BatchDevice> scanned;
    for (const DeviceRecord& record : inventory.snapshot())
        scanned.push_back({record.hostPart(), record.id, record.deviceType});
    const std::vector<RestorePlanRow> plan = planRestore(site, choice, scanned, kProgramVersion);

    std::vector<BatchDevice> targets;
    for (const RestorePlanRow& row : plan)
        if (row.result == BatchResult::Ok) targets.push_back(row.target);
    RestoreOptions options;
    options.password = passwords_[1].given().value_or(Session::kDefaultPassword);
    options.dryRun = dryRun_;
    options.acceptWarnings = assumeYes_;
    const auto reports = std::make_shared<RestoreReports>();
    const std::vector<BatchRow> done =
        targets.empty() ? std::vector<BatchRow>{}
                        : BatchOptions::runOn(context, targets, jobs_.value(),
                                              restoreBatchWork(plan, options, reports), assumeYes_);

    // Every planned device in the file's order: those left alone with their reason, the others as
    // the batch ended them.
    std::vector<BatchRow> rows;
    for (const RestorePlanRow& row : plan) {
        const auto worked = std::find_if(done.begin(), done.end(), [&](const BatchRow& ended) {
            return row.result == BatchResult::Ok && ended.device.host == row.target.host;
        });
        if (worked != done.end())
            rows.push_back(*worked);
        else
            rows.push_back({row.target, BatchRow::State::Done, row.result, row.message});
    }
    if (dryRun_) {
        for (const BatchRow& row : rows) {
            const auto report = reports->of(row.device.host);
            if (!report || row.result != BatchResult::Ok) continue;
            context.out << row.device.id << " (" << row.device.host
                        << "): " << (report->changes.empty() ? "no setting would change" : "would change")
                        << '\n';
            for (const SettingChange& change : report->changes)
                context.out << "  " << change.name << ": " << quoted(change.before, context.out) << " -> "
                            << quoted(change.after, context.out) << '\n';
        }
    }
    TextTable table({"Saved ID", "Device ID", "Host", "Result"});
    for (std::size_t i = 0; i < rows.size(); ++i)
        table.addRow({plan[i].saved.id, rows[i].device.id, rows[i].device.host,
                      restoreResultText(rows[i], reports->of(rows[i].device.host), dryRun_)});
    table.print(context.out);
    return batchSucceeded(rows) ? kExitDone : kExitFindings;
}

}  // namespace lm::cli
