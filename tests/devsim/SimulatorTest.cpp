#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Simulator.h"
#include "devsim/TestClient.h"
#include "platform/ArpTable.h"
#include "platform/Socket.h"

namespace lm::sim {
namespace {

using test::ip;

// Sends one probe straight to the device and returns the reply's text; empty when none came.
std::string probe(Ipv4 device, uint16_t port) {
    auto socket = UdpSocket::open();
    if (!socket || !socket->sendTo(device, port, std::string_view())) return {};
    const int fd = socket->fd();
    const auto ready = waitReadable(std::span(&fd, 1), test::kWaitMs);
    if (!ready || !(*ready)[0]) return {};
    const auto reply = socket->receive(65536);
    return reply ? std::string(reply->bytes.begin(), reply->bytes.end()) : std::string();
}

TEST(SimulatorTest, TwoSimulatorsChooseTheirPortsWithoutColliding) {
    Simulator first(SimulatorConfig{demoDevices(3, ip("127.0.0.100"))});
    Simulator second(SimulatorConfig{demoDevices(3, ip("127.0.0.110"))});
    std::string error;
    ASSERT_TRUE(first.start(&error)) << error;
    ASSERT_TRUE(second.start(&error)) << error;
    for (const Simulator* simulator : {&first, &second}) {
        EXPECT_NE(simulator->discoveryPort(), 0);
        EXPECT_NE(simulator->httpPort(), 0);
        // Every device of one simulator answers on the one shared port.
        for (const DeviceConfig& device : simulator->devices()) {
            EXPECT_EQ(probe(device.address, simulator->discoveryPort()), replyOf(device));
            EXPECT_EQ(test::get(device.address, simulator->httpPort(), "/image.jpg").status, 200);
        }
    }
}

TEST(SimulatorTest, FixedPortsAreUsedAsGiven) {
    // Learn a port that is free on these addresses, then ask for exactly it.
    Simulator probeForPorts(SimulatorConfig{demoDevices(2, ip("127.0.0.120"))});
    std::string error;
    ASSERT_TRUE(probeForPorts.start(&error)) << error;
    const uint16_t discovery = probeForPorts.discoveryPort(), http = probeForPorts.httpPort();
    probeForPorts.stop();

    Simulator fixed(SimulatorConfig{demoDevices(2, ip("127.0.0.120")), discovery, http});
    ASSERT_TRUE(fixed.start(&error)) << error;
    EXPECT_EQ(fixed.discoveryPort(), discovery);
    EXPECT_EQ(fixed.httpPort(), http);
    EXPECT_EQ(probe(fixed.devices()[1].address, discovery), replyOf(fixed.devices()[1]));
}

TEST(SimulatorTest, TakenFixedPortFailsWithTheAddress) {
    auto holder = UdpSocket::open();
    ASSERT_TRUE(holder && holder->bind(ip("127.0.0.131"), 0));
    auto devices = demoDevices(2, ip("127.0.0.130"));
    Simulator simulator(SimulatorConfig{devices, holder->localPort(), 0});
    std::string error;
    EXPECT_FALSE(simulator.start(&error));
    EXPECT_NE(error.find("127.0.0.131:" + std::to_string(holder->localPort())), std::string::npos) << error;
    EXPECT_FALSE(simulator.running());
    // The first device's socket was let go again.
    EXPECT_TRUE(UdpSocket::open()->bind(ip("127.0.0.130"), holder->localPort()));
}

TEST(SimulatorTest, RejectsDevicesThatCannotAllBind) {
    auto devices = demoDevices(3, ip("127.0.0.140"));
    devices[2].address = devices[0].address;
    std::string error;
    EXPECT_FALSE(Simulator(SimulatorConfig{devices}).start(&error));
    EXPECT_NE(error.find("devices 0 and 2 share the address 127.0.0.140"), std::string::npos) << error;

    devices = demoDevices(2, ip("127.0.0.140"));
    devices[1].broadcast = devices[0].address;
    EXPECT_FALSE(Simulator(SimulatorConfig{devices}).start(&error));
    EXPECT_NE(error.find("127.0.0.140 is also a device's address"), std::string::npos) << error;
}

TEST(SimulatorTest, RestartsAfterStopAndKeepsCountersOfTheLastRun) {
    Simulator simulator(SimulatorConfig{demoDevices(2, ip("127.0.0.150"))});
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    EXPECT_FALSE(simulator.start(&error));
    const DeviceConfig& device = simulator.devices()[1];
    ASSERT_FALSE(probe(device.address, simulator.discoveryPort()).empty());
    simulator.stop();
    EXPECT_EQ(simulator.counters(1), (DeviceCounters{1, 1, 0}));
    EXPECT_EQ(simulator.counters(2), DeviceCounters{});
    simulator.stop();  // a second stop is harmless

    ASSERT_TRUE(simulator.start(&error)) << error;
    EXPECT_EQ(simulator.counters(1), DeviceCounters{});
    EXPECT_EQ(probe(device.address, simulator.discoveryPort()), replyOf(device));
}

TEST(SimulatorTest, ArpTableTextReadsLikeTheKernels) {
    SimulatorConfig config{demoDevices(2, ip("127.0.0.11"))};
    config.devices[0].mac = {0x02, 0x4C, 0x55, 0xC8, 0x12, 0x34};
    config.devices[1].address = ip("10.77.0.12");
    const Simulator simulator(config);
    EXPECT_EQ(simulator.arpTableText(),
              "IP address       HW type     Flags       HW address            Mask     Device\n"
              "127.0.0.11       0x1         0x2         02:4c:55:c8:12:34     *        lo\n"
              "10.77.0.12       0x1         0x2         02:4c:55:c1:00:01     *        eth0\n");

    const auto path = (std::filesystem::path(::testing::TempDir()) / "devsim-arp").string();
    std::string error;
    ASSERT_TRUE(simulator.writeArpTable(path, &error)) << error;
    const auto rows = readArpTable(path);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    for (const ArpRow& row : *rows) {
        const auto& device = row.address == ip("127.0.0.11") ? config.devices[0] : config.devices[1];
        EXPECT_EQ(row.address, device.address);
        ASSERT_EQ(row.hardwareLength, 6u);
        EXPECT_TRUE(std::equal(device.mac.begin(), device.mac.end(), row.hardware.begin()));
    }
    EXPECT_FALSE(simulator.writeArpTable("/nonexistent-dir/arp", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lm::sim
