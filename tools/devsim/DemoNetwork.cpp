#include "DemoNetwork.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "Simulator.h"

namespace lm::sim {

namespace {

// The demo's stand-in interface: its broadcast reaches every device on 127.0.0.0/8.
constexpr const char* kDemoInterface = "127.0.0.254/255.0.0.0";
constexpr const char* kFirstDevice = "127.0.0.10";

}  // namespace

std::unique_ptr<DemoNetwork> DemoNetwork::start(NetworkProfile& profile, SerialPortMap* serialPorts,
                                                std::string* error) {
    SimulatorConfig config;
    config.devices = demoDevices(kDevices, *parseIpv4(kFirstDevice));
    // The first one also has its console on a serial port, reached as COM1.
    config.devices.front().shell.serial = serialPorts != nullptr;
    // The last one ignores probes: like a device whose probe answer was lost, it is found only
    // through the ARP table.
    config.devices.back().answersProbe = false;
    // Later firmware logs in to a root shell: the demo shows both prompts.
    config.devices[kRootShellDevice].shell.prompt = "# ";

    std::unique_ptr<DemoNetwork> demo(new DemoNetwork);
    demo->simulator_ = std::make_unique<Simulator>(std::move(config));
    if (!demo->simulator_->start(error)) return nullptr;

    std::string path = (std::filesystem::temp_directory_path() / "lmtools-demo-arp-XXXXXX").string();
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        if (error) *error = "cannot create a file in " + std::filesystem::temp_directory_path().string();
        return nullptr;
    }
    ::close(fd);
    demo->arpTablePath_ = path;
    if (!demo->simulator_->writeArpTable(path, error)) return nullptr;

    profile.discoveryPort = demo->simulator_->discoveryPort();
    profile.httpPort = demo->simulator_->httpPort();
    profile.telnetPort = demo->simulator_->telnetPort();
    if (serialPorts) serialPorts->set(1, demo->simulator_->serialPath(0));
    profile.interfaces = NetworkProfile::parseInterfaces(kDemoInterface);
    profile.arpTablePath = path;
    return demo;
}

DemoNetwork::~DemoNetwork() {
    if (simulator_) simulator_->stop();
    if (!arpTablePath_.empty()) ::unlink(arpTablePath_.c_str());
}

}  // namespace lm::sim
