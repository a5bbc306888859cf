#pragma once

#include <string>

#include "Command.h"
#include "TerminalOperationUi.h"
#include "ops/WorkerTask.h"

namespace lm::cli {

// A command that runs the worker of a dialog that starts as soon as it opens: HOST, the admin
// password to start with (else the default), asked for on a terminal when the device refuses it.
class AtOnceCommand : public Command {
public:
    std::string usage() const override { return name() + " HOST"; }
    void define(CLI::App& command) override;
    std::string check() override;
    int run(CommandContext& context) override;

protected:
    const std::string& host() const { return host_; }
    // Sets the window up before the worker starts.
    virtual void prepare(TerminalOperationUi&, CommandContext&) {}
    virtual Outcome work(WorkerTask& task, const std::string& startPassword) = 0;
    // What the command prints on standard output once the worker is done.
    virtual void finish(TerminalOperationUi& ui, Outcome outcome, CommandContext& context) = 0;
    // Whether the worker's message boxes go to standard output (else standard error, where a
    // command keeps everything but its data).
    virtual bool boxesToOut() const { return true; }

private:
    std::string host_;
    PasswordOption password_;
};

}  // namespace lm::cli
