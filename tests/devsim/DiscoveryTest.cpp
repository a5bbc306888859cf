#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/platform/Socket.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::sim {
namespace {

using test::Conversation;

// A prober like the scanner's: broadcast allowed, a large buffer.
Conversation prober() {
    auto socket = Conversation::udp();
    const int on = 1;
    EXPECT_EQ(::setsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on), 0);
    growReceiveBuffer(socket.fd(), 4 << 20);
    return socket;
}

// Replies by sender until `count` have come or nothing more arrives; each from the discovery port.
std::map<Ipv4, std::string> collect(Conversation& socket, std::size_t count, uint16_t port) {
    std::map<Ipv4, std::string> replies;
    for (std::size_t n = 0; n < count; ++n) {
        auto datagram = socket.receive();
        if (!datagram) break;
        EXPECT_EQ(socket.senderPort(), port);
        EXPECT_TRUE(replies.emplace(socket.sender(), std::move(*datagram)).second) << "two from one address";
    }
    return replies;
}

// The addresses run across a byte boundary (127.0.4.255 to 127.0.5.0).
TEST(DiscoveryTest, ManyDevicesAnswerOneBroadcastByteForByteFromTheirOwnAddresses) {
    constexpr std::size_t kDevices = 300;
    auto devices = demoDevices(kDevices, *parseIpv4("127.0.4.1"));
    devices[0].reply = "";
    devices[1].reply = std::string("Lumetra/X\0-junk", 15);
    devices[2].reply = std::string(4000, 'L');
    Simulator simulator(SimulatorConfig{devices});
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    auto socket = prober();
    socket.talkTo(simulator.discoveryPort(), *parseIpv4("127.255.255.255"));
    ASSERT_TRUE(socket.send(""));

    const auto replies = collect(socket, kDevices, simulator.discoveryPort());
    ASSERT_EQ(replies.size(), kDevices);
    std::set<Mac> macs;  // the demo gives every device its own
    for (const DeviceConfig& device : devices) {
        EXPECT_EQ(replies.at(device.address), replyOf(device));
        macs.insert(device.mac);
    }
    EXPECT_EQ(macs.size(), kDevices);
    EXPECT_EQ(simulator.totals(), (DeviceCounters{kDevices, kDevices, 0}));
}

TEST(DiscoveryTest, DatagramsFromTheDiscoveryPortAreNotAnswered) {
    // Another device's reply must not be taken for a probe, or two devices would answer each
    // other for ever.
    Simulator simulator(SimulatorConfig{demoDevices(1, *parseIpv4("127.0.0.80"))});
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    auto impostor = UdpSocket::open();
    ASSERT_TRUE(impostor && impostor->bind(*parseIpv4("127.0.0.81"), simulator.discoveryPort()));
    auto socket = prober();
    const Ipv4 device = simulator.devices()[0].address;

    ASSERT_TRUE(impostor->sendTo(device, simulator.discoveryPort(), std::string_view("reply")));
    socket.talkTo(simulator.discoveryPort(), device);
    ASSERT_TRUE(socket.send(""));
    // The probe sent second is answered, so the first datagram has been seen by now.
    ASSERT_EQ(collect(socket, 1, simulator.discoveryPort()).size(), 1u);
    const int fd = impostor->fd();
    EXPECT_FALSE(waitReadable(std::span(&fd, 1), 0).value_or(std::vector<bool>{false})[0]);
    EXPECT_EQ(simulator.counters(0), (DeviceCounters{2, 1, 0}));
}

}  // namespace
}  // namespace lm::sim
