#include "devsim/DemoNetwork.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform/Socket.h"
#include "devsim/Simulator.h"

namespace lm::sim {

namespace {

// The demo's stand-in interface: its broadcast reaches every device on 127.0.0.0/8.
constexpr const char* kDemoInterface = "127.0.0.254/255.0.0.0";
constexpr const char* kFirstDevice = "127.0.0.10";

// A UDP port free at the moment, so the demo's TFTP server needs no privilege.
uint16_t freeUdpPort() {
    auto socket = UdpSocket::open();
    return socket && socket->bind(INADDR_ANY, 0) ? socket->localPort() : 0;
}

// A temporary file holding text; empty when it cannot be made.
std::string temporaryFile(const char* pattern, const std::string& text, std::string* error) {
    std::string path = (std::filesystem::temp_directory_path() / pattern).string();
    const int fd = ::mkstemp(path.data());
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        if (fd >= 0) ::close(fd);
        if (error) *error = "cannot create a file in " + std::filesystem::temp_directory_path().string();
        return {};
    }
    ::close(fd);
    return path;
}

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
    // The flash tool fetches from the port the profile names, unprivileged unless chosen otherwise.
    if (profile.tftpPort == NetworkProfile{}.tftpPort) profile.tftpPort = freeUdpPort();
    config.tftpPort = profile.tftpPort;
    // Later firmware logs in to a root shell: the demo shows both prompts.
    config.devices[kRootShellDevice].shell.prompt = "# ";

    std::unique_ptr<DemoNetwork> demo(new DemoNetwork);
    const std::string path = temporaryFile("lmtools-demo-arp-XXXXXX", "", error);
    if (path.empty()) return nullptr;
    demo->arpTablePath_ = path;
    demo->simulator_ = std::make_unique<Simulator>(std::move(config));
    // A device that a reboot moved is found at its new address.
    demo->simulator_->onAddressChange(
        [simulator = demo->simulator_.get(), path](std::size_t) { simulator->writeArpTable(path, nullptr); });
    if (!demo->simulator_->start(error)) return nullptr;
    if (!demo->simulator_->writeArpTable(path, error)) return nullptr;
    // The simulated devices need no real echo requests: a setting of the demo's own, allowing them,
    // unless one was named.
    if (profile.echoSettingPath == NetworkProfile{}.echoSettingPath) {
        demo->echoSettingPath_ = temporaryFile("lmtools-demo-echo-XXXXXX", "0\n", error);
        if (demo->echoSettingPath_.empty()) return nullptr;
        profile.echoSettingPath = demo->echoSettingPath_;
    }

    profile.discoveryPort = demo->simulator_->discoveryPort();
    profile.httpPort = demo->simulator_->httpPort();
    profile.telnetPort = demo->simulator_->telnetPort();
    if (serialPorts) {
        // The console is the demo's only serial port: AUTO must not open this machine's own ports.
        for (int port = 2; port <= SerialPortMap::kPortCount; ++port)
            serialPorts->set(port, "");
        serialPorts->set(1, demo->simulator_->serialPath(0));
    }
    profile.interfaces = NetworkProfile::parseInterfaces(kDemoInterface);
    // Named as the simulator's ARP rows name it, so choosing it keeps every demo device in view.
    profile.interfaces->front().name = "lo";
    profile.arpTablePath = path;
    return demo;
}

DemoNetwork::~DemoNetwork() {
    if (simulator_) simulator_->stop();
    if (!arpTablePath_.empty()) ::unlink(arpTablePath_.c_str());
    if (!echoSettingPath_.empty()) ::unlink(echoSettingPath_.c_str());
}

}  // namespace lm::sim
