#pragma once

// Simulated devices for the benchmarks that run lmtools-cli in-process: started, their addresses
// listed as HOSTs, and the CLI pointed at their ports through its environment.

#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devsim/Simulator.h"

namespace lm::bench {

struct CliDevices {
    std::unique_ptr<lm::sim::Simulator> simulator;
    std::vector<std::string> hosts;
};

// nullopt, with the reason printed, when the devices cannot be started.
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

}  // namespace lm::bench
