#pragma once

#include <functional>

#include "cli/BatchOptions.h"
#include "cli/Command.h"
#include "cli/TerminalChannel.h"
#include "core/ops/WorkerTask.h"

namespace lm::cli {

// A command that runs the worker of an operation dialog with a start button, with the terminal as
// its window: HOST, the admin password asked for before it starts (as the dialog wants it typed).
// A command that allows it works on several devices at once the same way, with the password given.
class MaintenanceCommand : public Command {
public:
    std::string usage() const override { return name() + " HOST"; }
    void define(CLI::App& command) override;
    std::string check() override;
    int run(CommandContext& context) override;

protected:
    using Worker = std::function<OperationResult(WorkerTask&)>;
    // The operation on the device of login, its request built from the command's options.
    virtual Worker worker(const DeviceLogin& login) const = 0;
    // Whether several HOSTs or --all may be given.
    virtual bool batchable() const { return true; }
    // The rest of the window: a progress display.
    virtual void prepareUi(TerminalChannel&, CommandContext&) {}
    // What a batch does to each device, everyone with password; only asked of a batchable command.
    virtual BatchWork batchWork(const std::string& /*password*/, CommandContext&) { return {}; }
    const std::string& host() const { return batch_.host(); }
    BatchOptions& batch() { return batch_; }
    bool assumeYes() const { return assumeYes_; }

private:
    BatchOptions batch_;
    PasswordOption password_;
    bool assumeYes_ = false;
};

}  // namespace lm::cli
