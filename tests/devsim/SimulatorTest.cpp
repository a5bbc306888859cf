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

// Shared sockets hand each datagram and connection to the device its destination address names;
// nothing answers on an address without a device, nor a device that is rebooting.
TEST(SimulatorTest, SharedSocketsReachTheDeviceTheAddressNames) {
    auto devices = demoDevices(3, *parseIpv4("127.0.3.250"));
    devices[2].shell.rebootDelayMs = 60'000;
    SimulatorConfig config{devices};
    config.sockets = SocketMode::Shared;
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        auto web = test::Conversation::connect(devices[i].address, simulator.httpPort());
        ASSERT_TRUE(web.send("GET / HTTP/1.0\r\n\r\n"));
        const auto page = web.until("</html>\n");
        ASSERT_TRUE(page);
        EXPECT_NE(page->find(identifierOf(devices[i])), std::string::npos) << *page;
        EXPECT_EQ(simulator.counters(i).httpRequests, 1u);
    }
    auto shell = test::Conversation::connect(devices[1].address, simulator.telnetPort());
    EXPECT_TRUE(shell.until("login: "));
    EXPECT_EQ(simulator.totals().telnetSessions, 1u);
    EXPECT_EQ(simulator.counters(1).telnetSessions, 1u);

    const Ipv4 nowhere = *parseIpv4("127.0.3.240");
    EXPECT_TRUE(test::Conversation::connect(nowhere, simulator.telnetPort()).holdUntilClosed());
    EXPECT_TRUE(test::Conversation::connect(nowhere, simulator.httpPort()).holdUntilClosed());
    // Datagrams are handled in order: the second probe's answer comes first, when the first had none.
    auto prober = test::Conversation::udp();
    prober.talkTo(simulator.discoveryPort(), nowhere);
    ASSERT_TRUE(prober.send(""));
    prober.talkTo(simulator.discoveryPort(), devices[0].address);
    ASSERT_TRUE(prober.send(""));
    EXPECT_EQ(prober.receive(), replyOf(devices[0]));
    EXPECT_EQ(prober.sender(), devices[0].address);

    auto rebooting = test::Conversation::connect(devices[2].address, simulator.telnetPort());
    ASSERT_TRUE(rebooting.send("admin\nvorna\nreboot\n"));
    EXPECT_TRUE(rebooting.holdUntilClosed());
    ASSERT_FALSE(simulator.deviceUp(2));
    prober.talkTo(simulator.discoveryPort(), devices[2].address);
    ASSERT_TRUE(prober.send(""));
    prober.talkTo(simulator.discoveryPort(), devices[0].address);
    ASSERT_TRUE(prober.send(""));
    EXPECT_EQ(prober.receive(), replyOf(devices[0]));
    EXPECT_EQ(prober.sender(), devices[0].address);
    EXPECT_EQ(simulator.counters(2).repliesSent, 0u);
    EXPECT_TRUE(test::Conversation::connect(devices[2].address, simulator.telnetPort()).holdUntilClosed());
    EXPECT_EQ(simulator.counters(2).telnetSessions, 1u);
}

}  // namespace
}  // namespace lm::sim
