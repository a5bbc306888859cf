#pragma once

#include <memory>
#include <string>

#include "platform/NetworkProfile.h"

namespace lm::sim {
class Simulator;
}

namespace lm::cli {

// Simulated devices on loopback for --demo, and the profile that points the program at them.
class DemoNetwork {
public:
    static constexpr std::size_t kDevices = 8;

    // Starts the devices and rewrites the profile's ports, interface table and ARP table;
    // nullptr with a message when they cannot be started.
    static std::unique_ptr<DemoNetwork> start(NetworkProfile& profile, std::string* error);
    ~DemoNetwork();

    DemoNetwork(const DemoNetwork&) = delete;
    DemoNetwork& operator=(const DemoNetwork&) = delete;

private:
    DemoNetwork() = default;
    std::unique_ptr<sim::Simulator> simulator_;
    std::string arpTablePath_;
};

}  // namespace lm::cli
