#include "cli/Command.h"

namespace lm::cli {

std::unique_ptr<Command> makeScanCommand();
std::unique_ptr<Command> makePageCommand();
std::unique_ptr<Command> makeRunCommand();
std::unique_ptr<Command> makeCatCommand();
std::unique_ptr<Command> makeRebootCommand();
std::unique_ptr<Command> makeEraseCommand();
std::unique_ptr<Command> makeSetTimeCommand();
std::unique_ptr<Command> makeLogCommand();
std::unique_ptr<Command> makeUpgradeCommand();
std::unique_ptr<Command> makeReportCommand();
std::unique_ptr<Command> makeProductionCommand();
std::unique_ptr<Command> makeConfigCommand();
std::unique_ptr<Command> makeSiteReportCommand();
std::unique_ptr<Command> makeCompletionCommand();
std::unique_ptr<Command> makeManPageCommand();

std::vector<std::unique_ptr<Command>> commandTable() {
    std::vector<std::unique_ptr<Command>> table;
    for (auto make : {makeScanCommand, makePageCommand, makeRunCommand, makeCatCommand, makeRebootCommand,
                      makeEraseCommand, makeSetTimeCommand, makeLogCommand, makeUpgradeCommand,
                      makeReportCommand, makeProductionCommand, makeConfigCommand, makeSiteReportCommand,
                      makeCompletionCommand, makeManPageCommand})
        table.push_back(make());
    return table;
}

}  // namespace lm::cli
