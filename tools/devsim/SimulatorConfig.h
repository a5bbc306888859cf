#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "devsim/DeviceConfig.h"

namespace lm::sim {

using WallClock = std::chrono::system_clock;

// How devices get their sockets: each its own on its address (what namespaces, ports taken
// elsewhere and moves expect), one per protocol on the wildcard address choosing the device by
// the packet's destination (thousands of devices in few descriptors), or per address while that
// fits in the descriptor limit.
enum class SocketMode { Auto, PerAddress, Shared };

struct SimulatorConfig {
    std::vector<DeviceConfig> devices;
    // Shared by every device; 0 lets the simulator choose a free one.
    uint16_t discoveryPort = 0;
    uint16_t httpPort = 0;
    uint16_t telnetPort = 0;
    // Where the devices' flash tool sends its TFTP read request (on the address it is given).
    uint16_t tftpPort = 69;
    // The time the pictures show; tests inject their own. Empty: the system clock.
    std::function<WallClock::time_point()> clock = {};
    SocketMode sockets = SocketMode::Auto;
};

// Reads {"discoveryPort": P, "httpPort": H, "telnetPort": T, "tftpPort": F, "devices": [...]}
// (ports optional). Unknown keys are
// errors, so a misspelt switch is not silently ignored. On bad input: nullopt and a message that
// names the offending entry.
std::optional<SimulatorConfig> parseConfig(const nlohmann::json& document, std::string* error);

// Reads and parses a JSON file.
std::optional<SimulatorConfig> loadConfig(const std::string& path, std::string* error);

}  // namespace lm::sim
