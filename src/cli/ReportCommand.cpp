#include <iomanip>

#include "cli/AtOnceCommand.h"
#include "cli/TerminalText.h"
#include "core/diag/ActivityReport.h"
#include "core/diag/ActivityReportJson.h"
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
    void prepare(TerminalChannel&, CommandContext& context) override {
        request_.address = host();
        request_.deviceId = id_;
        if (request_.deviceId.empty())
            request_.deviceId =
                probeDeviceId(host(), context.session.profile()).value_or(DiscoveryReply{}.id);
    }
    Outcome work(WorkerTask& task, const std::string& startPassword) override {
        request_.startPassword = startPassword;
        // The comments field is the report's status line.
        request_.onField = [&task](ActivityField field, const std::string& text) {
            if (field == ActivityField::Comments) task.status(text);
        };
        result_ = reportWorker(task, request_);
        return result_.outcome;
    }
    void finish(TerminalChannel& ui, Outcome outcome, CommandContext& context) override {
        // What was read before a later command failed is kept, as the window keeps it.
        if (outcome == Outcome::Ok || result_.loggedIn) {
            if (json_) {
                printJson(context.out);
            } else {
                printList(context.out);
            }
        }
        if (outcome != Outcome::Ok && ui.quiet()) context.error(result_.report.comments);
    }
    bool boxesToOut() const override { return false; }

private:
    void printJson(std::ostream& out) const { out << activityReportJson(result_.report); }
    void printList(std::ostream& out) const {
        const ActivityReport& report = result_.report;
        const bool terminal = isTerminal(out);
        for (const ReportField& field : kReportFields) {
            const std::string& value = report.*(field.value);
            out << std::left << std::setw(15) << field.label << (terminal ? terminalSafe(value) : value)
                << '\n';
        }
        out << "Activity Report Rating:\n";
        for (const ReportRating& rating : kReportRatings)
            out << (report.ratings.*(rating.value) ? "  [x] " : "  [ ] ") << rating.text << '\n';
        out << kReportRatingNote << '\n';
    }

    std::string id_;
    bool json_ = false;
    ActivityReportRequest request_;
    ActivityReportResult result_;
};

}  // namespace

std::unique_ptr<Command> makeReportCommand() {
    return std::make_unique<ReportCommand>();
}

}  // namespace lm::cli
