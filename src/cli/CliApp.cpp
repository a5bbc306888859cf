#include "CliApp.h"

#include <CLI/CLI.hpp>

#include "DemoNetwork.h"
#include "ScanCommand.h"
#include "link/Session.h"

namespace lm::cli {

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Lumetra Tools: finds and maintains Lumetra network cameras and video servers.",
                 "lmtools-cli"};
    app.require_subcommand(1);
    bool demo = false;
    app.add_flag("--demo", demo, "Work on simulated devices on this machine instead of the network");

    ScanOptions scanOptions;
    auto* scan = app.add_subcommand("scan", "Find every device on the local networks and list them");
    scan->add_flag("--json", scanOptions.json, "Print a JSON array instead of a table");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    }

    std::string problem;
    NetworkProfile profile = NetworkProfile::fromEnvironment(&problem);
    if (!problem.empty()) err << "lmtools-cli: ignoring bad settings:\n" << problem;

    std::unique_ptr<DemoNetwork> demoNetwork;
    if (demo) {
        demoNetwork = DemoNetwork::start(profile, &problem);
        if (!demoNetwork) {
            err << "lmtools-cli: cannot start the simulated devices: " << problem << '\n';
            return 1;
        }
    }
    Session session(std::move(profile));

    if (scan->parsed()) return runScan(session, scanOptions, out, err);
    return 0;
}

}  // namespace lm::cli
