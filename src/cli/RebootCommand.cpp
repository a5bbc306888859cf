#include "cli/MaintenanceCommand.h"
#include "core/ops/DeviceBatch.h"
#include "core/ops/MaintenanceOperations.h"

namespace lm::cli {

namespace {

class RebootCommand : public MaintenanceCommand {
public:
    std::string name() const override { return "reboot"; }
    std::string summary() const override { return "Log in to a device and restart it"; }

protected:
    Worker worker(const DeviceLogin& login) const override {
        return [request = RebootRequest{login}](WorkerTask& task) { return rebootWorker(task, request); };
    }
    BatchWork batchWork(const std::string& password, CommandContext&) override {
        return rebootBatchWork(password);
    }
};

}  // namespace

std::unique_ptr<Command> makeRebootCommand() {
    return std::make_unique<RebootCommand>();
}

}  // namespace lm::cli
