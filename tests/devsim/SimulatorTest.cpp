#include <gtest/gtest.h>

#include "core/platform/Socket.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::sim {
namespace {

// Sends one probe straight to the device and returns the reply's text; empty when none came.
std::string probe(Ipv4 device, uint16_t port) {
    auto socket = test::Conversation::udp();
    socket.talkTo(port, device);
    return socket.send("") ? socket.receive().value_or("") : "";
}

TEST(SimulatorTest, StartFailsOnATakenPortOrDevicesThatCannotAllBind) {
    auto holder = UdpSocket::open();
    ASSERT_TRUE(holder && holder->bind(*parseIpv4("127.0.0.131"), 0));
    auto devices = demoDevices(2, *parseIpv4("127.0.0.130"));
    Simulator simulator(SimulatorConfig{devices, holder->localPort(), 0});
    std::string error;
    EXPECT_FALSE(simulator.start(&error));
    EXPECT_NE(error.find("127.0.0.131:" + std::to_string(holder->localPort())), std::string::npos) << error;
    EXPECT_FALSE(simulator.running());
    // The first device's socket was let go again.
    EXPECT_TRUE(UdpSocket::open()->bind(*parseIpv4("127.0.0.130"), holder->localPort()));

    // Devices that could not all bind are refused before any socket is made.
    devices = demoDevices(3, *parseIpv4("127.0.0.140"));
    devices[2].address = devices[0].address;
    EXPECT_FALSE(Simulator(SimulatorConfig{devices}).start(&error));
    EXPECT_NE(error.find("devices 0 and 2 share the address 127.0.0.140"), std::string::npos) << error;

    devices = demoDevices(2, *parseIpv4("127.0.0.140"));
    devices[1].broadcast = devices[0].address;
    EXPECT_FALSE(Simulator(SimulatorConfig{devices}).start(&error));
    EXPECT_NE(error.find("127.0.0.140 is also a device's address"), std::string::npos) << error;
}

TEST(SimulatorTest, RestartsAfterStopAndKeepsCountersOfTheLastRun) {
    Simulator simulator(SimulatorConfig{demoDevices(2, *parseIpv4("127.0.0.150"))});
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

}  // namespace
}  // namespace lm::sim
