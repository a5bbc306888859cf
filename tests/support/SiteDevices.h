#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "devsim/Simulator.h"
#include "support/RecordingChannel.h"

namespace lm::test {

// Devices of a site, none at factory settings: the site's password, host names door0, door1, ...
// and network lines the settings pages do not model. Device i answers at PREFIX(FIRST + i) and has
// the MAC 02:4C:55:C8:GROUP:0i; faults and other changes are made before the start.
inline std::vector<sim::DeviceConfig> siteDevices(std::size_t count, const std::string& prefix, int first,
                                                  int macGroup, const std::string& password) {
    std::vector<sim::DeviceConfig> devices(count);
    for (std::size_t i = 0; i < count; ++i) {
        devices[i].mac =
            *sim::parseMac("02:4C:55:C8:0" + std::to_string(macGroup) + ":0" + std::to_string(i));
        devices[i].address = *parseIpv4(prefix + std::to_string(first + static_cast<int>(i)));
        devices[i].shell.rebootDelayMs = 100;
        devices[i].shell.password = password;
        devices[i].shell.files["/etc/config/network"] = "NETWORKING=yes\nHOSTNAME=door" + std::to_string(i) +
                                                        "\nGATEWAYDEV=eth0\nGATEWAY=127.0.0.1\n"
                                                        "NTPSERVER=127.0.0.1\n";
    }
    return devices;
}

// Starts the devices and points the profile at them; empty, or why they did not start.
inline std::string startSite(std::vector<sim::DeviceConfig> devices,
                             std::unique_ptr<sim::Simulator>& simulator, NetworkProfile& profile) {
    sim::SimulatorConfig config;
    config.devices = std::move(devices);
    simulator = std::make_unique<sim::Simulator>(std::move(config));
    std::string error;
    if (!simulator->start(&error)) return error.empty() ? "the simulator did not start" : error;
    profile.telnetPort = simulator->telnetPort();
    profile.discoveryPort = simulator->discoveryPort();
    profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.1/255.0.0.0");
    return "";
}

// Whether device i was sent anything that writes: a file, a save or a reboot.
inline bool wroteAnything(const sim::Simulator& simulator, std::size_t i) {
    const auto commands = simulator.commands(i);
    return std::any_of(commands.begin(), commands.end(), [](const std::string& line) {
        return line.starts_with("mv ") || line.starts_with("/bin/cat >") || line.starts_with("config save") ||
               line.starts_with("reboot");
    });
}

// Hands each device of a batch a recording window.
class RecordingWindows : public DeviceBatch::Observer {
public:
    std::shared_ptr<WorkerChannel> channelFor(std::size_t) override {
        return std::make_shared<RecordingChannel>();
    }
};

}  // namespace lm::test
