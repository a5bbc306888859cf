#pragma once

#include <memory>
#include <string>

#include "core/link/SerialPortMap.h"
#include "core/platform/NetworkProfile.h"

namespace lm::sim {

class Simulator;

// Simulated devices on loopback for --demo, and the profile that points the program at them.
class DemoNetwork {
public:
    static constexpr std::size_t kDevices = 8;
    // The one whose shell prompt is "# " (127.0.0.14); the others show "> ".
    static constexpr std::size_t kRootShellDevice = 4;

    // Starts the devices and rewrites the profile's ports, interface table, ARP table and echo setting, and,
    // when serialPorts is given, points COM1 at the first device's console; nullptr with a message
    // when they cannot be started.
    static std::unique_ptr<DemoNetwork> start(NetworkProfile& profile, SerialPortMap* serialPorts,
                                              std::string* error);
    static std::unique_ptr<DemoNetwork> start(NetworkProfile& profile, std::string* error) {
        return start(profile, nullptr, error);
    }
    ~DemoNetwork();

    DemoNetwork(const DemoNetwork&) = delete;
    DemoNetwork& operator=(const DemoNetwork&) = delete;

private:
    DemoNetwork() = default;
    std::unique_ptr<Simulator> simulator_;
    std::string arpTablePath_;
    std::string echoSettingPath_;
};

}  // namespace lm::sim
