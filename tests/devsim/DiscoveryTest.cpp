#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Simulator.h"
#include "devsim/TestClient.h"
#include "platform/Socket.h"

namespace lm::sim {
namespace {

using test::ip;

// A prober like the scanner's: unbound until it sends, broadcast allowed, a large buffer.
UdpSocket prober() {
    auto socket = UdpSocket::open();
    EXPECT_TRUE(socket);
    socket->enableBroadcast();
    socket->growReceiveBuffer(4 << 20);
    return std::move(*socket);
}

// Collects replies until `count` have come or nothing arrives for a while.
std::vector<Datagram> collect(const UdpSocket& socket, std::size_t count) {
    std::vector<Datagram> replies;
    while (replies.size() < count) {
        auto datagram = test::receiveWithin(socket);
        if (!datagram) break;
        replies.push_back(std::move(*datagram));
    }
    return replies;
}

// The addresses run across a byte boundary (127.0.4.255 to 127.0.5.0).
TEST(DiscoveryTest, ManyDevicesAnswerOneBroadcastByteForByteFromTheirOwnAddresses) {
    constexpr std::size_t kDevices = 300;
    auto devices = demoDevices(kDevices, ip("127.0.4.1"));
    devices[0].reply = "";
    devices[1].reply = std::string("Lumetra/X\0-junk", 15);
    devices[2].reply = std::string(4000, 'L');
    Simulator simulator(SimulatorConfig{devices});
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    const UdpSocket socket = prober();
    ASSERT_TRUE(socket.sendTo(ip("127.255.255.255"), simulator.discoveryPort(), std::string_view()));

    const auto replies = collect(socket, kDevices);
    ASSERT_EQ(replies.size(), kDevices);
    std::map<Ipv4, std::string> byAddress;
    for (const Datagram& reply : replies) {
        EXPECT_EQ(reply.fromPort, simulator.discoveryPort());
        byAddress[reply.from] = test::textOf(reply);
    }
    ASSERT_EQ(byAddress.size(), kDevices);
    std::set<Mac> macs;  // the demo gives every device its own
    for (const DeviceConfig& device : devices) {
        EXPECT_EQ(byAddress[device.address], replyOf(device));
        macs.insert(device.mac);
    }
    EXPECT_EQ(macs.size(), kDevices);
    EXPECT_EQ(simulator.totals(), (DeviceCounters{kDevices, kDevices, 0}));
}

TEST(DiscoveryTest, DatagramsFromTheDiscoveryPortAreNotAnswered) {
    // Another device's reply must not be taken for a probe, or two devices would answer each
    // other for ever.
    Simulator simulator(SimulatorConfig{demoDevices(1, ip("127.0.0.80"))});
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    auto impostor = UdpSocket::open();
    ASSERT_TRUE(impostor && impostor->bind(ip("127.0.0.81"), simulator.discoveryPort()));
    const UdpSocket socket = prober();
    const Ipv4 device = simulator.devices()[0].address;

    ASSERT_TRUE(impostor->sendTo(device, simulator.discoveryPort(), std::string_view("reply")));
    ASSERT_TRUE(socket.sendTo(device, simulator.discoveryPort(), std::string_view()));
    // The probe sent second is answered, so the first datagram has been seen by now.
    ASSERT_EQ(collect(socket, 1).size(), 1u);
    const int fd = impostor->fd();
    EXPECT_FALSE(waitReadable(std::span(&fd, 1), 0).value_or(std::vector<bool>{false})[0]);
    EXPECT_EQ(simulator.counters(0), (DeviceCounters{2, 1, 0}));
}

}  // namespace
}  // namespace lm::sim
