#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "RecordingUi.h"
#include "Simulator.h"
#include "link/Session.h"
#include "ops/MaintenanceOperations.h"

namespace lm::test {

// A session, a recording window and the shared state, pointed at a simulated device, a scripted
// telnet peer or a silent port.
class OperationFixture : public testing::Test {
protected:
    void TearDown() override {
        // A worker left running would outlive the session it uses.
        ASSERT_TRUE(waitUntilStopped());
    }

    void startDevice(sim::DeviceConfig device) {
        device.mac = *sim::parseMac("02:4C:55:C8:00:31");
        address = dotted(device.address);
        sim::SimulatorConfig config;
        config.devices = {std::move(device)};
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        useTelnetPort(simulator->telnetPort());
    }
    static sim::DeviceConfig device(const char* at) {
        sim::DeviceConfig d;
        d.address = *parseIpv4(at);
        return d;
    }
    void useTelnetPort(uint16_t port, Timing timing = Timing::fast()) {
        NetworkProfile profile;
        profile.telnetPort = port;
        session = std::make_unique<Session>(profile, timing);
    }

    // The window as the user left it: address and password typed.
    void window(const std::string& typedPassword, std::optional<std::string> typedAddress = std::nullopt) {
        ui = std::make_shared<RecordingUi>(typedAddress.value_or(address), typedPassword);
    }
    WorkerTask task(int startButton) {
        return WorkerTask(*session, ui, state, &prompt, address, startButton, &scanInProgress);
    }
    void runReboot() {
        auto t = task(kRebootStartButton);
        rebootWorker(t);
    }
    void runErase() {
        auto t = task(kEraseStartButton);
        eraseWorker(t);
    }
    // Starts a worker on its own thread as the window's start button does.
    void startWorker(Outcome (*worker)(WorkerTask&), int startButton) {
        WorkerTask::start(state, [this, startButton, worker] {
            auto t = task(startButton);
            worker(t);
        });
    }
    bool waitUntilStopped() {
        const Deadline deadline(Milliseconds(10000));
        while (state->running && !deadline.expired())
            std::this_thread::sleep_for(Milliseconds(1));
        return !state->running;
    }
    std::vector<std::string> commands() const { return simulator->commands(0); }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    std::string address = "127.0.0.1";
    std::shared_ptr<RecordingUi> ui;
    std::shared_ptr<OperationState> state = std::make_shared<OperationState>();
    ScriptedPrompt prompt;
    std::atomic<bool> scanInProgress{false};
};

}  // namespace lm::test
