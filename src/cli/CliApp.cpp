#include "CliApp.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "DemoNetwork.h"
#include "MaintenanceCommand.h"
#include "PageCommand.h"
#include "RemoteShellCommand.h"
#include "ScanCommand.h"
#include "link/Session.h"
#include "platform/Ipv4.h"

namespace lm::cli {

namespace {

// HOST or --serial COMn, and the password options, shared by run and cat.
struct TargetOptions {
    std::string host;
    std::string serialPort;
    std::string password;
    CLI::Option* passwordOption = nullptr;

    void addTo(CLI::App* command) {
        command->add_option("--serial", serialPort,
                            "Use the console on a serial port (COM1..COM32) instead of HOST");
        passwordOption = command->add_option(
            "--password", password,
            "Admin password (else LMTOOLS_PASSWORD, else the default; asked on a terminal)");
    }
    RemoteTarget target() const {
        RemoteTarget t{host, serialPort, std::nullopt};
        if (passwordOption && passwordOption->count()) t.password = password;
        return t;
    }
};

bool validHost(const std::string& host, std::ostream& err) {
    if (parseIpv4(host)) return true;
    err << "lmtools-cli: \"" << host << "\" is not an IPv4 address such as 192.168.1.20\n";
    return false;
}

}  // namespace

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int bitRate = takeSerialBitRateSwitch(args);

    CLI::App app{"Lumetra Tools: finds and maintains Lumetra network cameras and video servers.",
                 "lmtools-cli"};
    app.require_subcommand(1);
    bool demo = false;
    app.add_flag("--demo", demo, "Work on simulated devices on this machine instead of the network");
    app.footer("The serial bit rate is 38400; \"-b 1200\" selects 1200 and \"-b 1200 300\" selects 300.");

    ScanOptions scanOptions;
    auto* scan = app.add_subcommand("scan", "Find every device on the local networks and list them");
    scan->add_flag("--json", scanOptions.json, "Print a JSON array instead of a table");

    PageOptions pageOptions;
    auto* page = app.add_subcommand("page", "Find every device and write a web page that shows them all");
    page->add_option("-o,--output", pageOptions.file,
                     "Where to write the page (default cameras.html in the current directory); - for "
                     "standard output")
        ->type_name("FILE");
    page->add_option("--width", pageOptions.screenWidth,
                     "Width in pixels of the screen the page is for: one 320-pixel picture per column, "
                     "less a scroll bar (default 1920, a full HD screen)")
        ->check(CLI::PositiveNumber)
        ->type_name("PIXELS");

    TargetOptions runTarget;
    std::vector<std::string> commandWords;
    auto* run =
        app.add_subcommand("run", "Log in to a device and run one shell command: run HOST -- COMMAND...");
    run->add_option("HOST", runTarget.host, "Device address");
    // Not required here: with --serial a one-word command lands in HOST and is moved below.
    run->add_option("COMMAND", commandWords, "The command and its arguments");
    runTarget.addTo(run);

    TargetOptions catTarget;
    std::string path;
    auto* cat = app.add_subcommand("cat", "Log in to a device and print one of its files: cat HOST PATH");
    cat->add_option("HOST", catTarget.host, "Device address");
    cat->add_option("PATH", path, "File on the device");
    catTarget.addTo(cat);

    // reboot and erase ask for the password before they start, as their dialogs do.
    struct MaintenanceCommandLine {
        MaintenanceOptions options;
        std::string password;
        CLI::Option* passwordOption = nullptr;
        CLI::App* command = nullptr;
    };
    MaintenanceCommandLine reboot, erase;
    reboot.command = app.add_subcommand("reboot", "Log in to a device and restart it: reboot HOST");
    erase.command = app.add_subcommand(
        "erase",
        "Log in to a device and erase its stored configuration, restoring the defaults (DHCP among them), "
        "then restart it: erase HOST");
    bool noReboot = false;
    erase.command->add_flag("--no-reboot", noReboot, "Leave the device running after the erase");
    for (auto* m : {&reboot, &erase}) {
        m->command->add_option("HOST", m->options.host, "Device address")->required();
        m->passwordOption = m->command->add_option(
            "--password", m->password, "Admin password (else LMTOOLS_PASSWORD, else asked on a terminal)");
    }

    std::vector<const char*> parsed = {"lmtools-cli"};
    for (const auto& a : args)
        parsed.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(parsed.size()), parsed.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    }

    // With --serial there is no HOST: the first word belongs to what follows it.
    if (!runTarget.serialPort.empty() && !runTarget.host.empty()) {
        commandWords.insert(commandWords.begin(), runTarget.host);
        runTarget.host.clear();
    }
    if (!catTarget.serialPort.empty() && path.empty()) std::swap(path, catTarget.host);
    if (run->parsed()) {
        if (runTarget.serialPort.empty() && !validHost(runTarget.host, err)) return 1;
        if (commandWords.empty()) {
            err << "lmtools-cli: run needs a COMMAND after --\n";
            return 1;
        }
    }
    if (cat->parsed()) {
        if (catTarget.serialPort.empty() && !validHost(catTarget.host, err)) return 1;
        if (path.empty()) {
            err << "lmtools-cli: cat needs the PATH of a file on the device\n";
            return 1;
        }
    }

    for (auto* m : {&reboot, &erase}) {
        if (!m->command->parsed()) continue;
        if (!validHost(m->options.host, err)) return 1;
        if (m->passwordOption->count()) m->options.password = m->password;
    }
    erase.options.rebootAfterwards = !noReboot;

    std::string problem;
    NetworkProfile profile = NetworkProfile::fromEnvironment(&problem);
    SerialPortMap serialPorts = SerialPortMap::fromEnvironment(&problem);
    if (!problem.empty()) err << "lmtools-cli: ignoring bad settings:\n" << problem;

    std::unique_ptr<sim::DemoNetwork> demoNetwork;
    if (demo) {
        demoNetwork = sim::DemoNetwork::start(profile, &serialPorts, &problem);
        if (!demoNetwork) {
            err << "lmtools-cli: cannot start the simulated devices: " << problem << '\n';
            return 1;
        }
    }
    Session session(std::move(profile), Timing{}, std::move(serialPorts));
    session.serial.setBitRate(bitRate);

    if (scan->parsed()) return runScan(session, scanOptions, out, err);
    if (page->parsed()) return runPage(session, pageOptions, out, err);
    if (run->parsed()) {
        std::string command;
        for (const auto& word : commandWords)
            command += (command.empty() ? "" : " ") + word;
        return runRemoteCommand(session, runTarget.target(), command, out, err);
    }
    if (cat->parsed()) return catRemoteFile(session, catTarget.target(), path, out, err);
    if (reboot.command->parsed())
        return runMaintenance(session, Maintenance::Reboot, reboot.options, out, err);
    if (erase.command->parsed()) return runMaintenance(session, Maintenance::Erase, erase.options, out, err);
    return 0;
}

}  // namespace lm::cli
