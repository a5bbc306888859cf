#include "MaintenanceCommand.h"

#include <memory>

#include "ExitStatus.h"
#include "TerminalOperationUi.h"
#include "TerminalPasswordPrompt.h"

namespace lm::cli {

void MaintenanceCommand::define(CLI::App& command) {
    command.add_option("HOST", host_, "Device address");
    password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else asked on a terminal)");
    command.add_flag("-y,--yes", assumeYes_, "Answer yes to every question");
}

std::string MaintenanceCommand::check() {
    if (auto problem = hostProblem(host_); !problem.empty()) return problem;
    if (auto problem = password_.check(); !problem.empty()) return problem;
    if (!password_.given() && !TerminalPasswordPrompt::available())
        return "the admin password is needed: give --password or LMTOOLS_PASSWORD, or run it on a terminal";
    return {};
}

int MaintenanceCommand::run(CommandContext& context) {
    std::string password = password_.given().value_or("");
    if (password.empty()) {
        TerminalPasswordPrompt first(host_, "");
        if (!first.askPassword(password)) return kExitFailed;
    }
    TerminalPasswordPrompt prompt(host_);
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;
    auto ui = std::make_shared<TerminalOperationUi>(
        std::map<int, std::string>{{WorkerTask::kAddressField, host_},
                                   {WorkerTask::kPasswordField, password}},
        checks(), assumeYes_, context.out, context.err);
    ui->setQuiet(context.quiet);
    prepareUi(*ui, context);
    auto state = std::make_shared<OperationState>();
    // No window to keep alive here: the worker runs on this thread.
    state->running = true;
    WorkerTask task(context.session, ui, state, asker, host_, startButton(), nullptr);
    const Outcome outcome = worker()(task);
    state->running = false;
    // The device drops the connection as it goes down; nothing more is said on it.
    context.session.telnet().Close();
    // Quiet hides status lines, not the failure a worker ends with.
    if (outcome != Outcome::Ok && ui->quiet()) context.error(ui->lastStatus());
    return exitStatusFor(outcome);
}

}  // namespace lm::cli
