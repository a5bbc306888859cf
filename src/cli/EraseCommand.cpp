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
    Worker worker(const DeviceLogin& login) const override {
        return [request = EraseRequest{login, [reboot = !noReboot_] { return reboot; }}](WorkerTask& task) {
            return eraseWorker(task, request);
        };
    }
    bool batchable() const override { return false; }

private:
    bool noReboot_ = false;
};

}  // namespace

std::unique_ptr<Command> makeEraseCommand() {
    return std::make_unique<EraseCommand>();
}

}  // namespace lm::cli
