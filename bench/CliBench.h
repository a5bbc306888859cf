#pragma once

// For the benchmarks that run lmtools-cli in-process: their simulated devices, and a timed run.

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "devsim/Simulator.h"

namespace lm::bench {

struct CliDevices {
    std::unique_ptr<lm::sim::Simulator> simulator;
    std::vector<std::string> hosts;
};

// Starts the devices, lists their addresses as HOSTs and points the CLI at their ports through its
// environment; nullopt, with the reason printed, when they cannot be started.
inline std::optional<CliDevices> startCliDevices(lm::sim::SimulatorConfig config) {
    CliDevices devices;
    for (const auto& device : config.devices)
        devices.hosts.push_back(lm::dotted(device.address));
    devices.simulator = std::make_unique<lm::sim::Simulator>(std::move(config));
    std::string error;
    if (!devices.simulator->start(&error)) {
        std::printf("cannot start the simulated devices: %s\n", error.c_str());
        return std::nullopt;
    }
    const lm::sim::Simulator& simulator = *devices.simulator;
    ::setenv("LMTOOLS_TELNET_PORT", std::to_string(simulator.telnetPort()).c_str(), 1);
    ::setenv("LMTOOLS_DISCOVERY_PORT", std::to_string(simulator.discoveryPort()).c_str(), 1);
    ::setenv("LMTOOLS_HTTP_PORT", std::to_string(simulator.httpPort()).c_str(), 1);
    ::setenv("LMTOOLS_TFTP_PORT", std::to_string(simulator.tftpPort()).c_str(), 1);
    return devices;
}

struct CliRun {
    double seconds = 0;
    int status = 0;
    std::string out;
    std::string err;
};

// lmtools-cli with these arguments (the program name first), timed.
inline CliRun runCliTimed(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const auto& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = lm::cli::runCli(static_cast<int>(argv.size()), argv.data(), out, err);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, status, out.str(), err.str()};
}

}  // namespace lm::bench
