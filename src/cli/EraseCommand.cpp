#include "cli/MaintenanceCommand.h"
#include "core/ops/MaintenanceOperations.h"

namespace lm::cli {

namespace {

class EraseCommand : public MaintenanceCommand {
public:
    std::string name() const override { return "erase"; }
    std::string summary() const override {
        return "Log in to a device and erase its stored configuration, restoring the defaults (DHCP among "
               "them), then restart it";
    }
    void define(CLI::App& command) override {
        MaintenanceCommand::define(command);
        command.add_flag("--no-reboot", noReboot_, "Leave the device running after the erase");
    }

protected:
    Worker worker() const override { return eraseWorker; }
    bool batchable() const override { return false; }
    std::map<int, bool> checks() const override { return {{kRebootAfterwardsBox, !noReboot_}}; }

private:
    bool noReboot_ = false;
};

}  // namespace

std::unique_ptr<Command> makeEraseCommand() {
    return std::make_unique<EraseCommand>();
}

}  // namespace lm::cli
