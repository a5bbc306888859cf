#include "cli/ScanCommand.h"

#include "cli/ExitStatus.h"
#include "cli/ScanDiff.h"
#include "cli/TerminalText.h"
#include "cli/TextTable.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DeviceListFile.h"
#include "core/discovery/DiscoveryScan.h"

namespace lm::cli {

namespace {

// Stands in for the main window: prunes on request and shows the running count on a terminal.
class ScanWindow : public InventoryObserver {
public:
    ScanWindow(DeviceInventory& inventory, std::ostream& err, bool showProgress)
        : inventory_(inventory), err_(err), showProgress_(showProgress) {}

    void inventoryCommand(InventoryCommand command) override {
        if (command == ID_PRUNE_UNSEEN) inventory_.pruneUnseen();
        if (command == ID_STATUS_UPDATE && showProgress_)
            err_ << "\r" << scanningCountLabel(inventory_.count()) << std::flush;
    }
    void thumbnailReady(std::size_t, uint32_t) override {}

    bool showsProgress() const { return showProgress_; }
    void finish() {
        if (showProgress_) err_ << "\r\033[K" << std::flush;
    }

private:
    DeviceInventory& inventory_;
    std::ostream& err_;
    bool showProgress_;
};

// Device text reaches a terminal only made safe; a file or a pipe gets it as it came.
std::vector<DeviceRecord> printable(std::vector<DeviceRecord> records, const std::ostream& out) {
    if (!isTerminal(out)) return records;
    for (auto& r : records)
        for (std::string* text :
             {&r.id, &r.address, &r.deviceType, &r.version, &r.interfaceName, &r.mac, &r.product, &r.subtype})
            *text = terminalSafe(*text);
    return records;
}

void printTable(const std::vector<DeviceRecord>& records, std::ostream& out) {
    TextTable table({"ID", "IP Address", "Device Type", "Version"});
    for (const auto& r : records)
        table.addRow({r.id, r.address, r.deviceType, r.version});
    table.print(out);
    out << '\n' << deviceCountLabel(records.size()) << '\n';
}

}  // namespace

void scanInto(DeviceInventory& inventory, const CommandContext& context, ScanScope scope) {
    auto& err = context.err;
    if (const std::string note = longScanNote(scope); !note.empty()) context.note(note);
    ScanWindow window(inventory, err, !context.quiet && isTerminal(err));
    inventory.setObserver(&window);
    DiscoveryScan scan(inventory, context.session.profile(), std::move(scope));
    if (window.showsProgress()) err << "Scanning..." << std::flush;
    const auto stats = scan.scanThread();
    window.finish();
    inventory.setObserver(nullptr);

    if (stats && !stats->probeSent)
        context.note(
            "no ICMP socket could be opened, so no probe was sent and only the ARP table was read.\n"
            "Grant the right to open one: sudo setcap cap_net_raw+ep \"$(command -v lmtools-cli)\"");
    if (stats && stats->stoppedByLimit)
        context.note("the network never fell quiet; the scan was ended early after " +
                     std::to_string(DiscoveryScan::kMaxDuration.count() / 1000) + " s.");
}

namespace {

class ScanCommand : public Command {
public:
    std::string name() const override { return "scan"; }
    std::string summary() const override { return "Find every device on the local networks and list them"; }
    void define(CLI::App& command) override {
        auto* json = command.add_flag("--json", json_, "Print a JSON array instead of a table");
        auto* csv =
            command.add_flag("--csv", csv_, "Print CSV (RFC 4180, with a header row) instead of a table")
                ->excludes(json);
        const char* diffHelp =
            "Print the devices added, gone and changed since a scan saved with --json (exit 3 when any)";
        diff_ = command.add_option("--diff", diffPath_, diffHelp)->option_text("PREVIOUS.json");
        diff_->excludes(json)->excludes(csv);
        command
            .add_option("--interface", interfaces_,
                        "Broadcast and read the ARP table only on this interface (repeatable); "
                        "without it, on every one")
            ->type_name("NAME|ADDRESS");
        command
            .add_option("--range", ranges_,
                        "Also probe every address of this range one by one, for devices behind a router "
                        "(repeatable; " +
                            std::to_string(ScanScope::kMaxTargets) + " addresses at most in all)")
            ->type_name("CIDR");
        rate_.addTo(command, "--rate", "Packets per second sent to the ranges, at most");
    }
    // The saved scan is read before this one, so a file that cannot be used costs no scan.
    std::string check() override {
        if (auto problem = rate_.check(); !problem.empty()) return problem;
        auto ranges = rangeAddresses(ranges_);
        targets_ = std::move(ranges.addresses);
        if (!ranges.problem.empty()) return ranges.problem;
        if (!diff_->count()) return {};
        auto read = readDeviceListFile(diffPath_);
        previous_ = std::move(read.records);
        return read.error;
    }
    int run(CommandContext& context) override {
        ScanScope scope;
        if (!interfaces_.empty()) {
            std::string problem;
            const auto rows = context.session.profile().interfaceTable();
            scope.interfaces =
                chosenInterfaces(interfaces_, rows.value_or(std::vector<InterfaceRow>{}), problem);
            if (!problem.empty()) {
                context.error("scan: " + problem);
                return kExitUsage;
            }
        }
        scope.targets = std::move(targets_);
        scope.rate = rate_.value();
        DeviceInventory inventory;
        scanInto(inventory, context, std::move(scope));
        const auto records = inventory.snapshot();
        if (diff_->count()) {
            // Compared as saved, so a stand-in text ("Unknown (ARP)") and a saved null are the same.
            std::vector<DeviceRecord> before, now;
            for (const auto& record : previous_)
                before.push_back(savedForm(record));
            for (const auto& record : records)
                now.push_back(savedForm(record));
            return printScanChanges(scanChanges(before, now), records.size(), diffPath_, context.out);
        }
        if (json_)
            context.out << deviceListJson(printable(records, context.out));
        else if (csv_)
            context.out << deviceListCsv(printable(records, context.out));
        else
            printTable(records, context.out);
        return kExitDone;
    }

private:
    bool json_ = false, csv_ = false;
    std::string diffPath_;
    CLI::Option* diff_ = nullptr;
    std::vector<DeviceRecord> previous_;
    std::vector<std::string> interfaces_;
    std::vector<std::string> ranges_;
    std::vector<Ipv4> targets_;
    NumberOption rate_{1, ScanScope::kMaxRate, ScanScope::kDefaultRate};
};

}  // namespace

std::unique_ptr<Command> makeScanCommand() {
    return std::make_unique<ScanCommand>();
}

}  // namespace lm::cli
