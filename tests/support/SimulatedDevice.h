#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/link/Session.h"
#include "devsim/Simulator.h"

namespace lm::test {

// A fixture with one simulated device on loopback and a session to it. The device's console, when
// it has one, is reached as COM`consolePort`; every other COM name leads nowhere, so no test ever
// opens one of this machine's own serial ports.
class SimulatedDeviceTest : public testing::Test {
protected:
    void start(sim::DeviceConfig device, Timing timing = Timing::fast(), int consolePort = 1) {
        session.reset();
        simulator.reset();
        sim::SimulatorConfig config;
        config.devices = {std::move(device)};
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        NetworkProfile profile;
        profile.telnetPort = simulator->telnetPort();
        SerialPortMap ports = SerialPortMap::standard();
        for (int port = 1; port <= SerialPortMap::kPortCount; ++port)
            ports.set(port, "");
        if (simulator->devices()[0].shell.serial) ports.set(consolePort, simulator->serialPath(0));
        session = std::make_unique<Session>(profile, timing, ports);
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
};

}  // namespace lm::test
