#include "cli/ExitStatus.h"
#include "cli/RemoteLogin.h"

namespace lm::cli {

namespace {

class CatCommand : public Command {
public:
    std::string name() const override { return "cat"; }
    std::string summary() const override { return "Log in to a device and print one of its files"; }
    std::string usage() const override { return "cat HOST PATH"; }
    void define(CLI::App& command) override {
        command.add_option("HOST", target_.host, "Device address");
        command.add_option("PATH", path_, "File on the device");
        target_.addTo(command);
    }
    std::string check() override {
        // With --serial the one word given is the path.
        if (!target_.serialPort.empty() && path_.empty()) std::swap(path_, target_.host);
        if (auto problem = target_.settle(nullptr); !problem.empty()) return problem;
        if (path_.empty()) return missingArgument("PATH");
        return shellValueProblem(ShellValue::Path, path_, "path");
    }
    int run(CommandContext& context) override {
        return withDeviceSession(context, target_, [&](DeviceSession& device) {
            // Reading a file needs the prompt that ends it; a command would learn it by itself.
            if (context.session.shellPrompt().empty()) context.session.setShellPrompt(device.readPrompt());
            const Outcome outcome = device.readRemoteFile(path_);
            if (outcome == Outcome::Ok) {
                printDeviceLines(context.session.remoteLines(), context.out);
            } else if (outcome == Outcome::Refused) {
                context.error("The device cannot read " + path_ + ": " + device.deviceMessage());
            } else {
                context.error("Cannot read " + path_ + ": " + device.deviceMessage());
            }
            return exitStatusFor(outcome);
        });
    }

private:
    RemoteTarget target_;
    std::string path_;
};

}  // namespace

std::unique_ptr<Command> makeCatCommand() {
    return std::make_unique<CatCommand>();
}

}  // namespace lm::cli
