#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "devsim/Simulator.h"

namespace lm::cli::test {

// Simulated devices at 127.0.0.FIRST and on, with MACs 02:4C:55:C8:GG:0n; the command line program
// reaches them through the environment, without the factory password in it.
class SimulatedDevices : public testing::Test {
protected:
    void start(std::vector<sim::DeviceConfig> devices, int firstHost, int macGroup, uint16_t telnetPort = 0) {
        sim::SimulatorConfig config;
        config.telnetPort = telnetPort;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            devices[i].mac =
                *sim::parseMac("02:4C:55:C8:0" + std::to_string(macGroup) + ":0" + std::to_string(i));
            devices[i].address = *parseIpv4("127.0.0." + std::to_string(firstHost + static_cast<int>(i)));
        }
        config.devices = std::move(devices);
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        ::setenv("LMTOOLS_TELNET_PORT", std::to_string(simulator->telnetPort()).c_str(), 1);
        ::setenv("LMTOOLS_DISCOVERY_PORT", std::to_string(simulator->discoveryPort()).c_str(), 1);
        ::unsetenv("LMTOOLS_PASSWORD");
    }
    void TearDown() override {
        ::unsetenv("LMTOOLS_TELNET_PORT");
        ::unsetenv("LMTOOLS_DISCOVERY_PORT");
    }

    std::unique_ptr<sim::Simulator> simulator;
};

}  // namespace lm::cli::test
