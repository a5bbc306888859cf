// lmsim: runs simulated devices until SIGINT or SIGTERM.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "Simulator.h"

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

struct SingleDevice {
    std::string address, mac, broadcast, product, version, subtype, reply, fault = "none", image;
    bool noProbeReply = false;
};

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
    if (!flags.broadcast.empty()) {
        const auto broadcast = lm::parseIpv4(flags.broadcast);
        if (!broadcast) {
            *error = "--broadcast: expected a dotted IPv4 address";
            return std::nullopt;
        }
        device.broadcast = *broadcast;
    }
    if (!flags.product.empty()) device.product = flags.product;
    if (!flags.version.empty()) device.version = flags.version;
    if (!flags.subtype.empty()) device.subtype = flags.subtype;
    if (replyGiven) device.reply = flags.reply;
    device.answersProbe = !flags.noProbeReply;
    const auto fault = faultFromName(flags.fault);
    if (!fault) {
        *error =
            "--http-fault: expected none, notFound, wrongType, chunked, redirect, noLength, slow or silent";
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
    return device;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "lmsim: simulated Lumetra devices. Each device answers the discovery probe and serves\n"
        "/image.jpg over HTTP on its own address. Runs until interrupted."};
    std::string configPath, first = "127.0.0.11", arpFile, readyFile;
    std::size_t demo = 0;
    uint16_t discoveryPort = 0, httpPort = 0;
    SingleDevice flags;

    auto* config =
        app.add_option("--config", configPath, "JSON file describing the devices")->check(CLI::ExistingFile);
    auto* demoOption =
        app.add_option("--demo", demo, "run N demo devices of mixed models")->check(CLI::Range(1, 10000));
    app.add_option("--first", first, "address of the first demo device (default 127.0.0.11)")
        ->needs(demoOption);
    auto* address = app.add_option("--address", flags.address, "run one device on this address");
    app.add_option("--mac", flags.mac, "its MAC, e.g. 02:4C:55:C8:00:01 (model from the fourth byte)")
        ->needs(address);
    app.add_option("--broadcast", flags.broadcast, "broadcast address it hears probes on")->needs(address);
    app.add_option("--product", flags.product, "product token of its reply, e.g. Lumetra/ZelvixXL-2")
        ->needs(address);
    app.add_option("--version", flags.version, "firmware version of its reply")->needs(address);
    app.add_option("--subtype", flags.subtype, "subtype of its reply")->needs(address);
    auto* reply = app.add_option("--reply", flags.reply, "replace its whole discovery reply")->needs(address);
    app.add_flag("--no-probe-reply", flags.noProbeReply, "it ignores discovery probes")->needs(address);
    app.add_option("--http-fault", flags.fault,
                   "none, notFound, wrongType, chunked, redirect, noLength, slow or silent")
        ->needs(address);
    app.add_option("--image", flags.image, "picture size WIDTHxHEIGHT")->needs(address);
    auto* discoveryOption =
        app.add_option("--discovery-port", discoveryPort, "UDP port of every device (default: a free one)");
    auto* httpOption =
        app.add_option("--http-port", httpPort, "HTTP port of every device (default: a free one)");
    app.add_option("--arp-file", arpFile, "write the devices as an ARP table (format of /proc/net/arp) here");
    app.add_option("--ready-file", readyFile, "write \"discovery=P http=H\" here once listening");
    config->excludes(demoOption)->excludes(address);
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
    if (discoveryOption->count()) setup.discoveryPort = discoveryPort;
    if (httpOption->count()) setup.httpPort = httpPort;

    // Every thread inherits the blocked signals, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Simulator simulator(std::move(setup));
    if (!simulator.start(&error)) {
        std::cerr << "lmsim: " << error << "\n";
        return 1;
    }
    for (const DeviceConfig& device : simulator.devices())
        std::cout << identifierOf(device) << "  " << lm::dotted(device.address) << "  \""
                  << printable(replyOf(device)) << "\"" << (device.answersProbe ? "" : "  (ignores probes)")
                  << "  http=" << faultName(device.http.fault) << " " << device.http.width << "x"
                  << device.http.height << "\n";
    std::cout << "lmsim: " << simulator.devices().size() << " device(s), discovery port "
              << simulator.discoveryPort() << ", HTTP port " << simulator.httpPort() << "\n";
    std::cout << "lmsim: scan with LMTOOLS_DISCOVERY_PORT=" << simulator.discoveryPort()
              << " LMTOOLS_HTTP_PORT=" << simulator.httpPort();
    if (!arpFile.empty()) std::cout << " LMTOOLS_ARP_TABLE=" << arpFile;
    std::cout << std::endl;

    int status = 0;
    if (!arpFile.empty() && !simulator.writeArpTable(arpFile, &error)) {
        std::cerr << "lmsim: " << error << "\n";
        status = 1;
    } else if (!readyFile.empty() &&
               !writeFileAtomically(readyFile, "discovery=" + std::to_string(simulator.discoveryPort()) +
                                                   " http=" + std::to_string(simulator.httpPort()) + "\n")) {
        std::cerr << "lmsim: " << readyFile << ": cannot be written\n";
        status = 1;
    } else {
        int received = 0;
        sigwait(&stopSignals, &received);
    }
    simulator.stop();
    const DeviceCounters totals = simulator.totals();
    std::cout << "lmsim: stopped after " << totals.probesReceived << " probe(s), " << totals.repliesSent
              << " reply(ies), " << totals.httpRequests << " HTTP request(s)" << std::endl;
    return status;
}
