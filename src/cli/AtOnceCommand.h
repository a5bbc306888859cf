#pragma once

#include <string>

#include "cli/BatchOptions.h"
#include "cli/Command.h"
#include "cli/TerminalChannel.h"
#include "core/ops/WorkerTask.h"

namespace lm::cli {

// A command that runs the worker of a dialog that starts as soon as it opens: HOST, the admin
// password to start with (else the default), asked for on a terminal when the device refuses it.
// A command that allows it works on several devices at once the same way, asking nobody.
class AtOnceCommand : public Command {
public:
    std::string usage() const override { return name() + " HOST"; }
    void define(CLI::App& command) override;
    std::string check() override;
    int run(CommandContext& context) override;

protected:
    const std::string& host() const { return batch_.host(); }
    // Whether several HOSTs or --all may be given.
    virtual bool batchable() const { return false; }
    // Sets the window up before the worker starts.
    virtual void prepare(TerminalChannel&, CommandContext&) {}
    virtual Outcome work(WorkerTask& task, const std::string& startPassword) = 0;
    // What a batch does to each device, everyone with password; only asked of a batchable command.
    virtual BatchWork batchWork(const std::string& /*password*/) { return {}; }
    // What the command prints on standard output once the worker is done.
    virtual void finish(TerminalChannel& ui, Outcome outcome, CommandContext& context) = 0;
    // Whether the worker's message boxes go to standard output (else standard error, where a
    // command keeps everything but its data).
    virtual bool boxesToOut() const { return true; }

private:
    BatchOptions batch_;
    PasswordOption password_;
};

}  // namespace lm::cli
