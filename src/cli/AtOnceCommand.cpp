#include "AtOnceCommand.h"

#include <memory>

#include "ExitStatus.h"
#include "TerminalPasswordPrompt.h"

namespace lm::cli {

void AtOnceCommand::define(CLI::App& command) {
    command.add_option("HOST", host_, "Device address");
    password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else the default; asked on a terminal)");
}

std::string AtOnceCommand::check() {
    if (auto problem = hostProblem(host_); !problem.empty()) return problem;
    return password_.check();
}

int AtOnceCommand::run(CommandContext& context) {
    TerminalPasswordPrompt prompt(host_);
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;
    TerminalOperationUi window({}, {}, false, boxesToOut() ? context.out : context.err, context.err);
    // The worker runs on this thread: the window outlives it without being shared.
    std::shared_ptr<TerminalOperationUi> ui(std::shared_ptr<TerminalOperationUi>(), &window);
    ui->setQuiet(context.quiet);
    prepare(window, context);
    auto state = std::make_shared<OperationState>();
    state->running = true;
    Outcome outcome;
    bool passwordRefused;
    {
        WorkerTask task(context.session, ui, state, asker, host_, 0, nullptr);
        outcome = work(task, password_.given().value_or(Session::kDefaultPassword));
        passwordRefused =
            outcome != Outcome::Ok && task.lastLogin() != LoginOk && task.lastLogin() != LoginFailed;
    }
    state->running = false;
    finish(window, outcome, context);
    // Nobody could be asked for another password: say what happened rather than "cancelled".
    if (passwordRefused && asker == nullptr)
        context.error("The device at " + host_ + " refused the password.");
    return exitStatusFor(outcome);
}

}  // namespace lm::cli
