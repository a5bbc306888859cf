#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

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

class DiscoveryTest : public testing::TestWithParam<SocketMode> {};

// The addresses run across a byte boundary (127.0.4.255 to 127.0.5.0). A probe to the broadcast address
// and one to each device's own address are answered from that address, with sockets of each device's
// own or shared by all.
TEST_P(DiscoveryTest, ManyDevicesAnswerOneBroadcastAndEachProbeByteForByteFromTheirOwnAddresses) {
    constexpr std::size_t kDevices = 300;
    auto devices = demoDevices(kDevices, *parseIpv4("127.0.4.1"));
    devices[0].reply = "";
    devices[1].reply = std::string("Lumetra/X\0-junk", 15);
    devices[2].reply = std::string(4000, 'L');
    SimulatorConfig config{devices};
    config.sockets = GetParam();
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    EXPECT_EQ(simulator.sockets().mode, GetParam());
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

    for (const DeviceConfig& device : devices) {
        socket.talkTo(simulator.discoveryPort(), device.address);
        ASSERT_TRUE(socket.send(""));
    }
    EXPECT_EQ(collect(socket, kDevices, simulator.discoveryPort()), replies);
    EXPECT_EQ(simulator.totals(), (DeviceCounters{2 * kDevices, 2 * kDevices, 0}));
}

INSTANTIATE_TEST_SUITE_P(Sockets, DiscoveryTest, testing::Values(SocketMode::PerAddress, SocketMode::Shared),
                         [](const auto& mode) {
                             return mode.param == SocketMode::Shared ? "Shared" : "PerAddress";
                         });

TEST(DiscoveryReplyTest, DatagramsFromTheDiscoveryPortAreNotAnswered) {
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

// More devices than their own sockets would fit in the descriptor limit still start, on shared
// sockets, and every one answers. In a child process, as the lowered limit cannot be raised again.
TEST(DiscoveryDeathTest, DevicesBeyondTheDescriptorLimitShareSockets) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr std::size_t kDevices = 200;
    constexpr rlim_t kLimit = 256;  // three sockets for each device would need 600
    const auto run = [] {
        const rlimit low{kLimit, kLimit};
        if (::setrlimit(RLIMIT_NOFILE, &low) != 0) return 2;
        Simulator simulator(SimulatorConfig{demoDevices(kDevices, *parseIpv4("127.0.8.1"))});
        std::string error;
        if (!simulator.start(&error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s\n", simulator.sockets().reason.c_str());
        auto socket = prober();
        socket.talkTo(simulator.discoveryPort(), *parseIpv4("127.255.255.255"));
        if (!socket.send("")) return 1;
        const std::size_t found = collect(socket, kDevices, simulator.discoveryPort()).size();
        std::fprintf(stderr, "%zu of %zu answered\n", found, kDevices);
        return found == kDevices ? 0 : 1;
    };
    EXPECT_EXIT(std::exit(run()), testing::ExitedWithCode(0), "shared sockets.*\n200 of 200 answered");
}

}  // namespace
}  // namespace lm::sim
