#include "MaintenanceCommand.h"

#include <memory>

#include "TerminalOperationUi.h"
#include "TerminalPasswordPrompt.h"
#include "ops/MaintenanceOperations.h"

namespace lm::cli {

int runMaintenance(Session& session, Maintenance operation, const MaintenanceOptions& options,
                   std::ostream& out, std::ostream& err) {
    // The dialogs want the password typed before they start.
    const auto given = givenPassword(options.password);
    std::string password = given.value_or("");
    if (!given && TerminalPasswordPrompt::available()) {
        TerminalPasswordPrompt first(options.host, "");
        if (!first.askPassword(password)) password.clear();
    }

    TerminalPasswordPrompt prompt(options.host);
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;
    auto ui =
        std::make_shared<TerminalOperationUi>(options.host, password, options.rebootAfterwards, out, err);
    auto state = std::make_shared<OperationState>();
    const bool reboot = operation == Maintenance::Reboot;
    // No window to keep alive here: the worker runs on this thread.
    state->running = true;
    WorkerTask task(session, ui, state, asker, options.host, reboot ? kRebootStartButton : kEraseStartButton,
                    nullptr);
    if (reboot)
        rebootWorker(task);
    else
        eraseWorker(task);
    state->running = false;
    // The device drops the connection as it goes down; nothing more is said on it.
    session.telnet.Close();
    return ui->exitStatus();
}

}  // namespace lm::cli
