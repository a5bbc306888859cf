#include "cli/AtOnceCommand.h"

#include <memory>

#include "cli/ExitStatus.h"
#include "cli/TerminalPasswordPrompt.h"

namespace lm::cli {

void AtOnceCommand::define(CLI::App& command) {
    batch_.addTo(command, batchable());
    password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else the default; asked on a terminal)");
}

std::string AtOnceCommand::check() {
    if (auto problem = batch_.check(); !problem.empty()) return problem;
    return password_.check();
}

int AtOnceCommand::run(CommandContext& context) {
    if (batch_.several())
        return batch_.run(context, batchWork(password_.given().value_or(Session::kDefaultPassword)), false);
    TerminalPasswordPrompt prompt(host());
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;
    TerminalChannel window(false, boxesToOut() ? context.out : context.err, context.err);
    // The worker runs on this thread: the window outlives it without being shared.
    std::shared_ptr<TerminalChannel> ui(std::shared_ptr<TerminalChannel>(), &window);
    ui->setQuiet(context.quiet);
    prepare(window, context);
    auto state = std::make_shared<OperationState>();
    state->running = true;
    Outcome outcome;
    bool passwordRefused;
    {
        WorkerTask task(context.session, ui, state, asker, host(), nullptr);
        outcome = work(task, password_.given().value_or(Session::kDefaultPassword));
        passwordRefused =
            outcome != Outcome::Ok && task.lastLogin() != LoginOk && task.lastLogin() != LoginFailed;
    }
    state->running = false;
    finish(window, outcome, context);
    // Nobody could be asked for another password: say what happened rather than "cancelled".
    if (passwordRefused && asker == nullptr)
        context.error("The device at " + host() + " refused the password.");
    return exitStatusFor(outcome);
}

}  // namespace lm::cli
