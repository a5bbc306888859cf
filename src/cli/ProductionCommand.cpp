#include <unistd.h>

#include <atomic>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/InterruptHandler.h"
#include "cli/ScanCommand.h"
#include "cli/TerminalText.h"
#include "cli/TextTable.h"
#include "core/diag/ProductionResults.h"
#include "core/diag/ProductionTest.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DeviceProbe.h"
#include "core/platform/Ipv4.h"

namespace lm::cli {

namespace {

constexpr int kMaxJobs = 64;

// An ending signal closes the test as closing its window does: each job logs out of its device at
// its next step. A second one ends the program at once.
std::atomic<bool> gStopRequested{false};

void requestStop(int) {
    if (gStopRequested.exchange(true)) ::_exit(kExitInterrupted);
}

// A status line per device as its verdict comes in.
class ProductionProgress : public ProductionUi {
public:
    ProductionProgress(std::ostream& err, std::size_t devices, bool quiet)
        : err_(err), devices_(devices), quiet_(quiet), terminal_(isTerminal(err)) {}

    void setStatus(const std::string&) override {}
    void setCell(std::size_t device, ProductionColumn column, const std::string& text) override {
        if (column != ProductionColumn::Mac || quiet_) return;
        err_ << "Device " << device + 1 << " of " << devices_ << ": "
             << (terminal_ ? terminalSafe(text) : text) << '\n';
    }
    bool closing() override { return gStopRequested.load(); }

private:
    std::ostream& err_;
    std::size_t devices_;
    bool quiet_, terminal_;
};

// The cells as the table prints them: column 0 names the device, the verdict has a column of its own.
std::vector<std::string> printedCells(const ProductionRow& row) {
    std::vector<std::string> cells(row.cells.begin(), row.cells.end());
    cells.front() = row.name();
    cells.emplace_back(verdictText(row.verdict));
    return cells;
}

std::vector<std::string> printedHeaders() {
    std::vector<std::string> headers(kProductionHeaders.begin(), kProductionHeaders.end());
    headers.emplace_back("Verdict");
    return headers;
}

// Device text reaches a terminal only made safe; a file or a pipe gets it as it came.
std::vector<ProductionRow> printable(std::vector<ProductionRow> rows, const std::ostream& out) {
    if (!isTerminal(out)) return rows;
    for (ProductionRow& row : rows) {
        row.id = terminalSafe(row.id);
        row.address = terminalSafe(row.address);
        for (std::string& cell : row.cells)
            cell = terminalSafe(cell);
    }
    return rows;
}

class ProductionCommand : public Command {
public:
    std::string name() const override { return "production"; }
    std::string summary() const override {
        return "Test every device of a scan (or the hosts given) against the production criteria";
    }
    void define(CLI::App& command) override {
        command.add_option("HOST", hosts_, "Device addresses (else every device a scan finds)");
        auto* json = command.add_flag("--json", json_, "Print the results as a JSON array");
        command.add_flag("--csv", csv_, "Print the results as CSV")->excludes(json);
        jobs_.addTo(command, "--jobs", "Devices tested at once");
        password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else the default)");
    }
    std::string check() override {
        if (auto problem = jobs_.check(); !problem.empty()) return problem;
        for (const std::string& host : hosts_)
            if (auto problem = hostProblem(host); !problem.empty()) return problem;
        return password_.check();
    }
    int run(CommandContext& context) override {
        const auto devices = productionOrder(findDevices(context));
        ProductionProgress progress(context.err, devices.size(), context.quiet);
        ProductionSettings settings{context.session.profile(), context.session.timing(),
                                    password_.given().value_or(Session::kDefaultPassword), jobs_.value()};
        gStopRequested = false;
        const auto rows = [&] {
            const InterruptHandler guard(requestStop);
            return productionWorker(devices, progress, settings);
        }();
        print(rows, context.out);
        if (gStopRequested) {
            context.error("production: interrupted; a device without a verdict was not tested to the end");
            return kExitInterrupted;
        }

        bool anyTested = false, allPassed = true;
        for (const ProductionRow& row : rows) {
            anyTested = anyTested || row.loggedIn;
            allPassed = allPassed && row.verdict == ProductionVerdict::Passed;
        }
        if (!anyTested) {
            context.error(rows.empty() ? "No device was found." : "No device could be tested.");
            return kExitFailed;
        }
        return allPassed ? kExitDone : kExitFindings;
    }

private:
    std::vector<DeviceRecord> findDevices(CommandContext& context) const {
        if (hosts_.empty()) {
            DeviceInventory inventory;
            scanInto(inventory, context);
            return inventory.snapshot();
        }
        std::vector<DeviceRecord> devices;
        for (const std::string& host : hosts_) {
            DeviceRecord record;
            record.address = host;
            // A device that does not answer the probe is still tested, named by its address.
            record.id = probeDeviceId(host, context.session.profile()).value_or("");
            devices.push_back(std::move(record));
        }
        return devices;
    }

    void print(const std::vector<ProductionRow>& rows, std::ostream& out) const {
        if (json_) {
            out << productionResultsJson(printable(rows, out));
        } else if (csv_) {
            out << productionResultsCsv(printable(rows, out));
        } else {
            TextTable table(printedHeaders());
            for (const ProductionRow& row : rows)
                table.addRow(printedCells(row));
            table.print(out);
        }
    }

    std::vector<std::string> hosts_;
    bool json_ = false, csv_ = false;
    NumberOption jobs_{1, kMaxJobs, 1};
    PasswordOption password_;
};

}  // namespace

std::unique_ptr<Command> makeProductionCommand() {
    return std::make_unique<ProductionCommand>();
}

}  // namespace lm::cli
