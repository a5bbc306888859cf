#pragma once

#include <functional>
#include <map>

#include "Command.h"
#include "TerminalOperationUi.h"
#include "ops/WorkerTask.h"

namespace lm::cli {

// A command that runs the worker of an operation dialog with a start button, with the terminal as
// its window: HOST, the admin password asked for before it starts (as the dialog wants it typed).
class MaintenanceCommand : public Command {
public:
    std::string usage() const override { return name() + " HOST"; }
    void define(CLI::App& command) override;
    std::string check() override;
    int run(CommandContext& context) override;

protected:
    using Worker = std::function<Outcome(WorkerTask&)>;
    virtual Worker worker() const = 0;
    virtual int startButton() const = 0;
    // The dialog's check boxes as the command's options set them.
    virtual std::map<int, bool> checks() const { return {}; }
    // The rest of the window: more fields, a progress display.
    virtual void prepareUi(TerminalOperationUi&, CommandContext&) {}
    const std::string& host() const { return host_; }
    bool assumeYes() const { return assumeYes_; }

private:
    std::string host_;
    PasswordOption password_;
    bool assumeYes_ = false;
};

}  // namespace lm::cli
