#include "cli/ExitStatus.h"
#include "cli/RemoteLogin.h"

namespace lm::cli {

namespace {

class RunCommand : public Command {
public:
    std::string name() const override { return "run"; }
    std::string summary() const override { return "Log in to a device and run one shell command"; }
    std::string usage() const override { return "run HOST -- COMMAND..."; }
    void define(CLI::App& command) override {
        command.add_option("HOST", target_.host, "Device address");
        command.add_option("COMMAND", words_, "The command and its arguments");
        target_.addTo(command);
    }
    std::string check() override {
        if (auto problem = target_.settle(&words_); !problem.empty()) return problem;
        if (words_.empty()) return missingArgument("COMMAND");
        std::string problem;
        line_ = shellCommandLine(words_, problem);
        return problem;
    }
    int run(CommandContext& context) override {
        return withDeviceSession(context, target_, [&](DeviceSession& device) {
            // Only the echo is dropped: a command's own output may name it (ps lists itself).
            const Outcome outcome = device.runCommand(line_, DeviceSession::Echo::FirstOnly);
            const std::vector<std::string>& lines = context.session.remoteLines();
            printDeviceLines(lines, context.out);
            if (outcome == Outcome::Ok) {
                // The shell came back, but the command may still have been turned away.
                if (const std::string refusal = commandRefusal(lines, words_.front()); !refusal.empty()) {
                    context.error("The device refused the command: " + refusal);
                    return static_cast<int>(kExitRefused);
                }
            }
            switch (outcome) {
                case Outcome::Ok:
                    break;
                case Outcome::Refused:
                    context.error("The device does not know the command: " + device.deviceMessage());
                    break;
                default:
                    context.error("The command did not finish: " + device.deviceMessage() + ".");
            }
            return exitStatusFor(outcome);
        });
    }

private:
    RemoteTarget target_;
    std::vector<std::string> words_;
    std::string line_;
};

}  // namespace

std::unique_ptr<Command> makeRunCommand() {
    return std::make_unique<RunCommand>();
}

}  // namespace lm::cli
