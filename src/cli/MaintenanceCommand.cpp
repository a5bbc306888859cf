#include "cli/MaintenanceCommand.h"

#include <memory>

#include "cli/ExitStatus.h"
#include "cli/TerminalChannel.h"
#include "cli/TerminalPasswordPrompt.h"

namespace lm::cli {

void MaintenanceCommand::define(CLI::App& command) {
    batch_.addTo(command, batchable());
    password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else asked on a terminal)");
    command.add_flag("-y,--yes", assumeYes_, "Answer yes to every question");
}

std::string MaintenanceCommand::check() {
    if (auto problem = batch_.check(); !problem.empty()) return problem;
    if (auto problem = password_.check(); !problem.empty()) return problem;
    // Nobody is asked while several devices are at work: the password is typed once before.
    if (!password_.given() && batch_.several() && !TerminalPasswordPrompt::available())
        return "the admin password is needed for several devices: give --password, --password-file, "
               "--password-stdin or LMTOOLS_PASSWORD, or "
               "run it on a terminal to type it once";
    if (!password_.given() && !TerminalPasswordPrompt::available())
        return "the admin password is needed: give --password, --password-file, --password-stdin or "
               "LMTOOLS_PASSWORD, or run it on a terminal";
    return {};
}

int MaintenanceCommand::run(CommandContext& context) {
    std::string password = password_.given().value_or("");
    if (batch_.several()) {
        if (password.empty()) {
            TerminalPasswordPrompt once("every device of the batch", "");
            if (!once.askPassword(password)) return kExitFailed;
        }
        return batch_.run(context, batchWork(password, context), assumeYes_);
    }
    if (password.empty()) {
        TerminalPasswordPrompt first(host(), "");
        if (!first.askPassword(password)) return kExitFailed;
    }
    TerminalPasswordPrompt prompt(host());
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;
    auto ui = std::make_shared<TerminalChannel>(assumeYes_, context.out, context.err);
    ui->setQuiet(context.quiet);
    prepareUi(*ui, context);
    auto state = std::make_shared<OperationState>();
    // No window to keep alive here: the worker runs on this thread.
    state->running = true;
    WorkerTask task(context.session, ui, state, asker, host(), nullptr);
    const Outcome outcome = worker({host(), password})(task).outcome;
    state->running = false;
    // The device drops the connection as it goes down; nothing more is said on it.
    context.session.telnet().close();
    // Quiet hides status lines, not the failure a worker ends with.
    if (outcome != Outcome::Ok && ui->quiet()) context.error(ui->lastStatus());
    return exitStatusFor(outcome);
}

}  // namespace lm::cli
