#include "cli/AtOnceCommand.h"
#include "cli/RemoteLogin.h"
#include "core/ops/LogViewer.h"

namespace lm::cli {

namespace {

class LogCommand : public AtOnceCommand {
public:
    std::string name() const override { return "log"; }
    std::string summary() const override {
        return "Print the end of a device's system log (or with --debug its kernel log)";
    }
    void define(CLI::App& command) override {
        AtOnceCommand::define(command);
        command.add_flag("--debug", debug_, "The kernel's debug log (dmesg) instead of the system log");
    }

protected:
    Outcome work(WorkerTask& task, const std::string& startPassword) override {
        LogResult read = debugFileWorker(task, {debug_ ? kDebugLog : kSystemLog, startPassword, {}});
        text_ = std::move(read.text);
        return read.outcome;
    }
    void finish(TerminalChannel& ui, Outcome outcome, CommandContext& context) override {
        // What the window would show, the part read before a failure included.
        std::vector<std::string> lines;
        const std::string& text = text_;
        for (std::size_t start = 0; start < text.size();) {
            const auto end = text.find('\n', start);
            const auto next = end == std::string::npos ? text.size() : end + 1;
            lines.push_back(text.substr(start, next - start));
            start = next;
        }
        printDeviceLines(lines, context.out);
        if (outcome != Outcome::Ok && ui.quiet()) context.error(ui.lastStatus());
    }

private:
    bool debug_ = false;
    std::string text_;  // the log read
};

}  // namespace

std::unique_ptr<Command> makeLogCommand() {
    return std::make_unique<LogCommand>();
}

}  // namespace lm::cli
