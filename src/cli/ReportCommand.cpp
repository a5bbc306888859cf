#include <iomanip>
#include <nlohmann/json.hpp>

#include "cli/AtOnceCommand.h"
#include "cli/TerminalText.h"
#include "core/diag/ActivityReport.h"
#include "core/discovery/DeviceProbe.h"
#include "core/platform/Ipv4.h"

namespace lm::cli {

namespace {

class ReportCommand : public AtOnceCommand {
public:
    std::string name() const override { return "report"; }
    std::string summary() const override {
        return "Read a device's activity report (its health after a test run) and rate it";
    }
    void define(CLI::App& command) override {
        AtOnceCommand::define(command);
        command.add_option("--id", id_, "The device's ID as a scan lists it (else asked of the device)");
        command.add_flag("--json", json_, "Print the report as one JSON object");
    }

protected:
    void prepare(TerminalOperationUi& ui, CommandContext& context) override {
        ui.setStatusField(kReportComments);
        report_.ip = host();
        report_.mac = id_;
        if (report_.mac.empty())
            report_.mac = probeDeviceId(host(), context.session.profile()).value_or(DiscoveryReply{}.id);
    }
    Outcome work(WorkerTask& task, const std::string& startPassword) override {
        const Outcome outcome = reportWorker(task, report_, startPassword);
        loggedIn_ = task.lastLogin() == LoginOk;
        return outcome;
    }
    void finish(TerminalOperationUi& ui, Outcome outcome, CommandContext& context) override {
        // What was read before a later command failed is kept, as the window keeps it.
        if (outcome == Outcome::Ok || loggedIn_) {
            if (json_) {
                printJson(context.out);
            } else {
                printList(context.out);
            }
        }
        if (outcome != Outcome::Ok && ui.quiet()) context.error(ui.lastStatus());
    }
    bool boxesToOut() const override { return false; }

private:
    void printJson(std::ostream& out) const {
        nlohmann::ordered_json document;
        for (const ReportField& field : kReportFields)
            document[field.key] = report_.*(field.value);
        nlohmann::ordered_json ratings;
        for (const ReportRating& rating : kReportRatings)
            ratings[rating.key] = report_.ratings.*(rating.value);
        document["ratings"] = ratings;
        // Device text need not be UTF-8: what is not becomes U+FFFD rather than failing the output.
        out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    void printList(std::ostream& out) const {
        const bool terminal = isTerminal(out);
        for (const ReportField& field : kReportFields) {
            const std::string& value = report_.*(field.value);
            out << std::left << std::setw(15) << field.label << (terminal ? terminalSafe(value) : value)
                << '\n';
        }
        out << "Activity Report Rating:\n";
        for (const ReportRating& rating : kReportRatings)
            out << (report_.ratings.*(rating.value) ? "  [x] " : "  [ ] ") << rating.text << '\n';
        out << kReportRatingNote << '\n';
    }

    std::string id_;
    bool json_ = false;
    bool loggedIn_ = false;
    ActivityReport report_;
};

}  // namespace

std::unique_ptr<Command> makeReportCommand() {
    return std::make_unique<ReportCommand>();
}

}  // namespace lm::cli
