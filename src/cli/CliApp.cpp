#include "CliApp.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "Command.h"
#include "DemoNetwork.h"
#include "ExitStatus.h"
#include "link/Session.h"

namespace lm::cli {

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int bitRate = takeSerialBitRateSwitch(args);

    CLI::App app{"Lumetra Tools: finds and maintains Lumetra network cameras and video servers.",
                 "lmtools-cli"};
    app.require_subcommand(1);
    bool demo = false;
    app.add_flag("--demo", demo, "Work on simulated devices on this machine instead of the network");
    app.footer(
        "The serial bit rate is 38400; \"-b 1200\" selects 1200 and \"-b 1200 300\" selects 300.\n"
        "Exit status: 0 done; 1 failed or no answer; 2 refused by the device; 3 ran but found failures;\n"
        "64 usage error; 130 interrupted.");

    auto commands = commandTable();
    std::vector<CLI::App*> parts;
    for (auto& command : commands) {
        auto* part = app.add_subcommand(command->name(), command->summary());
        command->define(*part);
        parts.push_back(part);
    }

    std::vector<const char*> parsed = {"lmtools-cli"};
    for (const auto& a : args)
        parsed.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(parsed.size()), parsed.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }

    Command* chosen = nullptr;
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (parts[i]->parsed()) chosen = commands[i].get();
    if (chosen == nullptr) return kExitUsage;
    if (const auto problem = chosen->check(); !problem.empty()) {
        err << "lmtools-cli: " << chosen->name() << ": " << problem << '\n';
        return kExitUsage;
    }

    std::string problem;
    NetworkProfile profile = NetworkProfile::fromEnvironment(&problem);
    SerialPortMap serialPorts = SerialPortMap::fromEnvironment(&problem);
    if (!problem.empty()) err << "lmtools-cli: ignoring bad settings:\n" << problem;

    std::unique_ptr<sim::DemoNetwork> demoNetwork;
    if (demo) {
        demoNetwork = sim::DemoNetwork::start(profile, &serialPorts, &problem);
        if (!demoNetwork) {
            err << "lmtools-cli: cannot start the simulated devices: " << problem << '\n';
            return kExitFailed;
        }
    }
    Session session(std::move(profile), Timing{}, std::move(serialPorts));
    session.serial().setBitRate(bitRate);
    CommandContext context{session, out, err};
    return chosen->run(context);
}

}  // namespace lm::cli
