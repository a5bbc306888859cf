// lmsim: runs simulated devices until SIGINT or SIGTERM.
#include <arpa/inet.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ProgramVersion.h"
#include "devsim/Simulator.h"

namespace {

using namespace lm::sim;

// The reply as one readable line: unprintable bytes escaped, long ones cut.
std::string printable(const std::string& bytes) {
    constexpr std::size_t kShown = 96;
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    if (bytes.size() > kShown) text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

// A word pasted into a shell as it is, or single-quoted.
std::string shellWord(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("/._-+,:=@").find(c) != std::string_view::npos;
    });
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A stand-in interface for each broadcast address the devices hear probes on, in the form of
// LMTOOLS_INTERFACES: the scan broadcasts to ADDRESS OR NOT MASK, so the mask leaves the
// broadcast's trailing one bits to the host (at most 24, as on 127.0.0.0/8), and the address is
// the highest one of that net no device has (the broadcast itself for a net of one).
std::string standInInterfaces(const std::vector<DeviceConfig>& devices) {
    std::vector<uint32_t> broadcasts;
    for (const DeviceConfig& device : devices)
        if (const uint32_t b = ntohl(broadcastOf(device));
            std::find(broadcasts.begin(), broadcasts.end(), b) == broadcasts.end())
            broadcasts.push_back(b);
    std::string rows;
    for (const uint32_t broadcast : broadcasts) {
        const int hostBits = std::min(std::countr_one(broadcast), 24);
        const uint32_t mask = ~((uint32_t{1} << hostBits) - 1);
        uint32_t address = hostBits == 0 ? broadcast : broadcast - 1;
        while ((address & ~mask) != 0 &&
               std::any_of(devices.begin(), devices.end(),
                           [&](const DeviceConfig& d) { return ntohl(d.address) == address; }))
            --address;
        rows += (rows.empty() ? "" : ",") + lm::dotted(htonl(address)) + "/" + lm::dotted(htonl(mask));
    }
    return rows;
}

struct SingleDevice {
    std::string address, mac, broadcast, product, version, subtype, reply, fault = "none", image;
    bool noProbeReply = false;
    std::string password, prompt;
    bool serial = false, configDepend = false, consoleInEditor = false;
    std::optional<unsigned> rebootDelayMs;
    std::vector<std::string> faults;
    std::string flashCopy;
};

// "silent", "slowOutput", "refusePassword", "configClearDenied", "lostAck=N", "repeatAck=N",
// "ackDelay=MS".
bool applyShellFault(const std::string& text, ShellFaults& faults) {
    const auto equals = text.find('=');
    const std::string name = text.substr(0, equals);
    if (equals == std::string::npos) {
        if (name == "silent")
            faults.silent = true;
        else if (name == "slowOutput")
            faults.slowOutput = true;
        else if (name == "refusePassword")
            faults.refusePassword = true;
        else if (name == "configClearDenied")
            faults.configClearDenied = true;
        else
            return false;
        return true;
    }
    char end = 0;
    unsigned block = 0;
    if (std::sscanf(text.c_str() + equals + 1, "%u%c", &block, &end) != 1 || block < 1 || block > 65535)
        return false;
    if (name == "lostAck")
        faults.lostAck = static_cast<uint16_t>(block);
    else if (name == "repeatAck")
        faults.repeatAck = static_cast<uint16_t>(block);
    else if (name == "ackDelay")
        faults.ackDelayMs = block;
    else
        return false;
    return true;
}

std::optional<DeviceConfig> singleDevice(const SingleDevice& flags, bool replyGiven, std::string* error) {
    const auto mac = parseMac(flags.mac);
    if (!mac) {
        *error = "--mac: expected six hex pairs like 02:4C:55:C8:12:34";
        return std::nullopt;
    }
    DeviceConfig device = modelDevice((*mac)[3]);
    device.mac = *mac;
    const auto address = lm::parseIpv4(flags.address);
    if (!address) {
        *error = "--address: expected a dotted IPv4 address";
        return std::nullopt;
    }
    device.address = *address;
    if (!flags.product.empty()) device.product = flags.product;
    if (!flags.version.empty()) device.version = flags.version;
    if (!flags.subtype.empty()) device.subtype = flags.subtype;
    if (replyGiven) device.reply = flags.reply;
    device.answersProbe = !flags.noProbeReply;
    const auto fault = faultFromName(flags.fault);
    if (!fault) {
        *error = "--http-fault: expected one of " + faultNameList();
        return std::nullopt;
    }
    device.http.fault = *fault;
    if (!flags.image.empty()) {
        unsigned width = 0, height = 0;
        char end = 0;
        if (std::sscanf(flags.image.c_str(), "%ux%u%c", &width, &height, &end) != 2 || width < 1 ||
            height < 1 || width > DeviceConfig::kMaxImageSide || height > DeviceConfig::kMaxImageSide) {
            *error = "--image: expected WIDTHxHEIGHT, each 1.." + std::to_string(DeviceConfig::kMaxImageSide);
            return std::nullopt;
        }
        device.http.width = width;
        device.http.height = height;
    }
    if (!flags.password.empty()) device.shell.password = flags.password;
    if (!flags.prompt.empty()) {
        if (flags.prompt != "> " && flags.prompt != "# ") {
            *error = "--prompt: expected \"> \" or \"# \"";
            return std::nullopt;
        }
        device.shell.prompt = flags.prompt;
    }
    device.shell.serial = flags.serial;
    device.shell.flashCopy = flags.flashCopy;
    device.shell.configDepend = flags.configDepend;
    device.shell.consoleInEditor = flags.consoleInEditor;
    if (flags.rebootDelayMs) device.shell.rebootDelayMs = *flags.rebootDelayMs;
    for (const std::string& shellFault : flags.faults)
        if (!applyShellFault(shellFault, device.shell.faults)) {
            *error =
                "--fault: expected silent, slowOutput, refusePassword, configClearDenied, lostAck=N, "
                "repeatAck=N or ackDelay=MS, not \"" +
                shellFault + "\"";
            return std::nullopt;
        }
    return device;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "lmsim: simulated Lumetra devices. Each device answers the discovery probe, serves /image.jpg\n"
        "over HTTP and a login shell over telnet on its own address, and runs its flash tool against\n"
        "a TFTP server. Runs until interrupted."};
    std::string configPath, first = "127.0.0.11", arpFile, readyFile;
    std::size_t demo = 0;
    uint16_t discoveryPort = 0, httpPort = 0, telnetPort = 0, tftpPort = 69;
    SingleDevice flags;

    app.set_version_flag("-V,--version", std::string("lmsim ") + lm::kProgramVersion);
    auto* config =
        app.add_option("--config", configPath, "JSON file describing the devices")->check(CLI::ExistingFile);
    auto* demoOption =
        app.add_option("--demo", demo, "run N demo devices of mixed models")->check(CLI::Range(1, 10000));
    app.add_option("--first", first, "address of the first demo device (default 127.0.0.11)")
        ->needs(demoOption);
    auto* address = app.add_option("--address", flags.address, "run one device on this address");
    app.add_option("--mac", flags.mac, "its MAC, e.g. 02:4C:55:C8:00:01 (model from the fourth byte)")
        ->needs(address);
    auto* broadcastOption = app.add_option(
        "--broadcast", flags.broadcast,
        "broadcast address it hears probes on (with --demo: every demo device, for more than a /24 of them)");
    app.add_option("--product", flags.product, "product token of its reply, e.g. Lumetra/ZelvixXL-2")
        ->needs(address);
    app.add_option("--firmware", flags.version, "firmware version of its reply, e.g. 4.2.1")->needs(address);
    app.add_option("--subtype", flags.subtype, "subtype of its reply")->needs(address);
    auto* reply = app.add_option("--reply", flags.reply, "replace its whole discovery reply")->needs(address);
    app.add_flag("--no-probe-reply", flags.noProbeReply, "it ignores discovery probes")->needs(address);
    app.add_option("--http-fault", flags.fault, faultNameList())->needs(address);
    app.add_option("--image", flags.image, "picture size WIDTHxHEIGHT")->needs(address);
    app.add_option("--password", flags.password, "its admin password (default vorna)")->needs(address);
    app.add_option("--prompt", flags.prompt, "its shell prompt, \"> \" (default) or \"# \"")->needs(address);
    app.add_option("--flash-copy", flags.flashCopy, "file that receives each image its flash tool fetches")
        ->needs(address);
    app.add_flag("--serial", flags.serial, "give it a serial console on a pseudo-terminal")->needs(address);
    app.add_flag("--console-in-editor", flags.consoleInEditor, "its console starts inside the editor")
        ->needs(address);
    app.add_flag("--config-depend", flags.configDepend, "its config tool knows depend=")->needs(address);
    app.add_option("--reboot-delay", flags.rebootDelayMs, "milliseconds it stays away when rebooted")
        ->check(CLI::Range(0u, 600000u))
        ->needs(address);
    app.add_option("--fault", flags.faults,
                   "shell fault (repeatable): silent, slowOutput, refusePassword, configClearDenied, "
                   "lostAck=N, repeatAck=N, ackDelay=MS")
        ->needs(address);
    unsigned latencyMs = 0;
    auto* latencyOption = app.add_option("--latency", latencyMs,
                                         "milliseconds every device's shell command takes before its output")
                              ->check(CLI::Range(0u, 60000u));
    auto* discoveryOption =
        app.add_option("--discovery-port", discoveryPort, "UDP port of every device (default: a free one)");
    auto* httpOption =
        app.add_option("--http-port", httpPort, "HTTP port of every device (default: a free one)");
    auto* telnetOption =
        app.add_option("--telnet-port", telnetPort, "telnet port of every device (default: a free one)");
    auto* tftpOption = app.add_option("--tftp-port", tftpPort,
                                      "port the devices' flash tool sends its TFTP request to (default 69)")
                           ->check(CLI::Range(1, 65535));
    const std::map<std::string, SocketMode> socketModes{
        {"auto", SocketMode::Auto}, {"per-address", SocketMode::PerAddress}, {"shared", SocketMode::Shared}};
    SocketMode sockets = SocketMode::Auto;
    app.add_option("--sockets", sockets,
                   "per-address: three sockets on each device's address; shared: one per protocol on every "
                   "address, the device chosen by destination (for thousands of devices); auto (default): "
                   "per address while they fit in the descriptor limit")
        ->transform(CLI::CheckedTransformer(socketModes, CLI::ignore_case).description(""))
        ->option_text("auto|per-address|shared");
    app.add_option("--arp-file", arpFile, "write the devices as an ARP table (format of /proc/net/arp) here");
    app.add_option("--ready-file", readyFile,
                   "write \"discovery=P http=H telnet=T tftp=F\" (and serialN=PATH per console) here once "
                   "listening");
    config->excludes(demoOption)->excludes(address)->excludes(broadcastOption);
    demoOption->excludes(address);
    address->needs(app.get_option("--mac"));
    CLI11_PARSE(app, argc, argv);

    SimulatorConfig setup;
    std::string error;
    if (config->count()) {
        auto loaded = loadConfig(configPath, &error);
        if (!loaded) {
            std::cerr << "lmsim: " << error << "\n";
            return 1;
        }
        setup = std::move(*loaded);
    } else if (demoOption->count()) {
        const auto firstAddress = lm::parseIpv4(first);
        if (!firstAddress) {
            std::cerr << "lmsim: --first: expected a dotted IPv4 address\n";
            return 1;
        }
        setup.devices = demoDevices(demo, *firstAddress);
    } else if (address->count()) {
        auto device = singleDevice(flags, reply->count() > 0, &error);
        if (!device) {
            std::cerr << "lmsim: " << error << "\n";
            return 1;
        }
        setup.devices.push_back(std::move(*device));
    } else {
        std::cerr << "lmsim: give --config FILE, --demo N or --address A --mac M (see --help)\n";
        return 1;
    }
    if (broadcastOption->count()) {
        const auto broadcast = lm::parseIpv4(flags.broadcast);
        if (!broadcast) {
            std::cerr << "lmsim: --broadcast: expected a dotted IPv4 address\n";
            return 1;
        }
        for (DeviceConfig& device : setup.devices)
            device.broadcast = *broadcast;
    }
    if (latencyOption->count())
        for (DeviceConfig& device : setup.devices)
            device.shell.commandLatencyMs = latencyMs;
    if (discoveryOption->count()) setup.discoveryPort = discoveryPort;
    if (httpOption->count()) setup.httpPort = httpPort;
    if (telnetOption->count()) setup.telnetPort = telnetPort;
    if (tftpOption->count()) setup.tftpPort = tftpPort;
    setup.sockets = sockets;

    // Every thread inherits the blocked signals, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Simulator simulator(std::move(setup));
    simulator.onAddressChange([&](std::size_t index) {
        std::string why;
        std::cout << "lmsim: " << identifierOf(simulator.devices()[index]) << " is now at "
                  << lm::dotted(simulator.address(index).value_or(0)) << std::endl;
        if (!arpFile.empty() && !simulator.writeArpTable(arpFile, &why))
            std::cerr << "lmsim: " << why << "\n";
    });
    if (!simulator.start(&error)) {
        std::cerr << "lmsim: " << error << "\n";
        return 1;
    }
    std::string ready = "discovery=" + std::to_string(simulator.discoveryPort()) +
                        " http=" + std::to_string(simulator.httpPort()) +
                        " telnet=" + std::to_string(simulator.telnetPort()) +
                        " tftp=" + std::to_string(simulator.tftpPort());
    for (std::size_t i = 0; i < simulator.devices().size(); ++i) {
        const DeviceConfig& device = simulator.devices()[i];
        const std::string serial = simulator.serialPath(i);
        std::cout << identifierOf(device) << "  " << lm::dotted(device.address) << "  \""
                  << printable(replyOf(device)) << "\"" << (device.answersProbe ? "" : "  (ignores probes)")
                  << "  http=" << faultName(device.http.fault) << " " << device.http.width << "x"
                  << device.http.height << "  prompt=\"" << device.shell.prompt << "\""
                  << (serial.empty() ? "" : "  serial=" + serial) << "\n";
        if (!serial.empty()) ready += " serial" + std::to_string(i) + "=" + serial;
    }
    std::cout << "lmsim: " << simulator.sockets().reason << "\n";
    std::cout << "lmsim: " << simulator.devices().size() << " device(s), discovery port "
              << simulator.discoveryPort() << ", HTTP port " << simulator.httpPort() << ", telnet port "
              << simulator.telnetPort() << ", flash tool fetches from TFTP port " << simulator.tftpPort()
              << "\n";
    // Everything the tools need to reach these devices, on a line of its own to paste before a
    // command: "SETTINGS lmtools-cli scan".
    std::cout
        << "lmsim: the tools reach these devices with the settings on the next line before the command\n"
        << "LMTOOLS_DISCOVERY_PORT=" << simulator.discoveryPort()
        << " LMTOOLS_HTTP_PORT=" << simulator.httpPort() << " LMTOOLS_TELNET_PORT=" << simulator.telnetPort()
        << " LMTOOLS_TFTP_PORT=" << simulator.tftpPort()
        << " LMTOOLS_INTERFACES=" << standInInterfaces(simulator.devices());
    if (!arpFile.empty()) std::cout << " LMTOOLS_ARP_TABLE=" << shellWord(arpFile);
    std::cout << std::endl;

    int status = 0;
    if (!arpFile.empty() && !simulator.writeArpTable(arpFile, &error)) {
        std::cerr << "lmsim: " << error << "\n";
        status = 1;
    } else if (!readyFile.empty() && !writeFileAtomically(readyFile, ready + "\n")) {
        std::cerr << "lmsim: " << readyFile << ": cannot be written\n";
        status = 1;
    } else {
        int received = 0;
        sigwait(&stopSignals, &received);
    }
    simulator.stop();
    const DeviceCounters totals = simulator.totals();
    std::cout << "lmsim: stopped after " << totals.probesReceived << " probe(s), " << totals.repliesSent
              << " reply(ies), " << totals.httpRequests << " HTTP request(s), " << totals.telnetSessions
              << " telnet session(s), " << totals.logins << " login(s), " << totals.reboots << " reboot(s)"
              << std::endl;
    return status;
}
