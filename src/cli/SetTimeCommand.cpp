#include "cli/AtOnceCommand.h"
#include "core/ops/DeviceBatch.h"
#include "core/ops/SetTime.h"

namespace lm::cli {

namespace {

class SetTimeCommand : public AtOnceCommand {
public:
    std::string name() const override { return "settime"; }
    std::string summary() const override {
        return "Set a device's clock and hardware clock from this computer's local time";
    }

protected:
    bool batchable() const override { return true; }
    BatchWork batchWork(const std::string& password) override { return setTimeBatchWork(password); }
    Outcome work(WorkerTask& task, const std::string& startPassword) override {
        return setTimeWorker(task, {startPassword}).outcome;
    }
    // "Error updating time!" says it all; the device's refusal, when it gave one, is the last status.
    void finish(TerminalChannel& ui, Outcome outcome, CommandContext& context) override {
        if (outcome == Outcome::Refused && ui.quiet()) context.error(ui.lastStatus());
    }
    bool boxesToOut() const override { return false; }
};

}  // namespace

std::unique_ptr<Command> makeSetTimeCommand() {
    return std::make_unique<SetTimeCommand>();
}

}  // namespace lm::cli
