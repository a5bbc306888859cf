#include <gtest/gtest.h>

#include <map>

#include "Simulator.h"
#include "devsim/TestClient.h"
#include "platform/Socket.h"

namespace lm::sim {
namespace {

using test::ip;

const Ipv4 kLoopbackBroadcast = ip("127.255.255.255");

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
    const int fd = socket.fd();
    while (replies.size() < count) {
        const auto ready = waitReadable(std::span(&fd, 1), test::kWaitMs);
        if (!ready || !(*ready)[0]) break;
        if (auto datagram = socket.receive(65536)) replies.push_back(std::move(*datagram));
    }
    return replies;
}

// True when a datagram is already waiting (it would have been sent before the last one read).
bool anythingQueued(const UdpSocket& socket) {
    const int fd = socket.fd();
    const auto ready = waitReadable(std::span(&fd, 1), 0);
    return ready && (*ready)[0];
}

std::string text(const Datagram& datagram) {
    return {datagram.bytes.begin(), datagram.bytes.end()};
}

struct Running {
    explicit Running(std::vector<DeviceConfig> devices) : simulator(SimulatorConfig{std::move(devices)}) {
        std::string error;
        started = simulator.start(&error);
        EXPECT_TRUE(started) << error;
    }
    Simulator simulator;
    bool started = false;
};

TEST(DiscoveryTest, BroadcastProbeIsAnsweredByEveryDeviceFromItsOwnAddress) {
    Running run(demoDevices(6, ip("127.0.0.40")));
    ASSERT_TRUE(run.started);
    const UdpSocket socket = prober();
    ASSERT_TRUE(socket.sendTo(kLoopbackBroadcast, run.simulator.discoveryPort(), std::string_view()));

    const auto replies = collect(socket, 6);
    ASSERT_EQ(replies.size(), 6u);
    std::map<Ipv4, std::string> byAddress;
    for (const Datagram& reply : replies) {
        EXPECT_EQ(reply.fromPort, run.simulator.discoveryPort());
        byAddress[reply.from] = text(reply);
    }
    ASSERT_EQ(byAddress.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        const DeviceConfig& device = run.simulator.devices()[i];
        EXPECT_EQ(byAddress[device.address], replyOf(device));
        EXPECT_EQ(run.simulator.counters(i), (DeviceCounters{1, 1, 0}));
    }
}

TEST(DiscoveryTest, UnicastProbeIsAnsweredByThatDeviceOnly) {
    Running run(demoDevices(3, ip("127.0.0.50")));
    ASSERT_TRUE(run.started);
    const UdpSocket socket = prober();
    const DeviceConfig& middle = run.simulator.devices()[1];
    ASSERT_TRUE(
        socket.sendTo(middle.address, run.simulator.discoveryPort(), std::string_view("any payload")));

    const auto replies = collect(socket, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, middle.address);
    EXPECT_EQ(text(replies[0]), replyOf(middle));
    EXPECT_EQ(run.simulator.totals(), (DeviceCounters{1, 1, 0}));
    EXPECT_EQ(run.simulator.counters(1).repliesSent, 1u);
}

TEST(DiscoveryTest, DeviceThatIgnoresProbesStaysSilent) {
    // The silent device comes first: probes reach devices in order, so once the last device's
    // reply is here the silent one has had its probe and would have answered before it.
    auto devices = demoDevices(2, ip("127.0.0.60"));
    devices[0].answersProbe = false;
    Running run(devices);
    ASSERT_TRUE(run.started);
    const UdpSocket socket = prober();
    const uint16_t port = run.simulator.discoveryPort();

    ASSERT_TRUE(socket.sendTo(kLoopbackBroadcast, port, std::string_view()));
    auto replies = collect(socket, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, devices[1].address);
    EXPECT_FALSE(anythingQueued(socket));

    ASSERT_TRUE(socket.sendTo(devices[0].address, port, std::string_view()));
    ASSERT_TRUE(socket.sendTo(devices[1].address, port, std::string_view()));
    replies = collect(socket, 1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].from, devices[1].address);
    EXPECT_FALSE(anythingQueued(socket));
    EXPECT_EQ(run.simulator.counters(0), (DeviceCounters{2, 0, 0}));
}

TEST(DiscoveryTest, OverriddenRepliesGoOutByteForByte) {
    auto devices = demoDevices(3, ip("127.0.0.70"));
    devices[0].reply = "";
    devices[1].reply = std::string("Lumetra/X\0-junk", 15);
    devices[2].reply = std::string(4000, 'L');
    Running run(devices);
    ASSERT_TRUE(run.started);
    const UdpSocket socket = prober();
    ASSERT_TRUE(socket.sendTo(kLoopbackBroadcast, run.simulator.discoveryPort(), std::string_view()));

    const auto replies = collect(socket, 3);
    ASSERT_EQ(replies.size(), 3u);
    for (const Datagram& reply : replies)
        for (const DeviceConfig& device : devices) {
            if (reply.from == device.address) {
                EXPECT_EQ(text(reply), *device.reply);
            }
        }
}

TEST(DiscoveryTest, DatagramsFromTheDiscoveryPortAreNotAnswered) {
    // Another device's reply must not be taken for a probe, or two devices would answer each
    // other for ever.
    Running run(demoDevices(1, ip("127.0.0.80")));
    ASSERT_TRUE(run.started);
    auto impostor = UdpSocket::open();
    ASSERT_TRUE(impostor && impostor->bind(ip("127.0.0.81"), run.simulator.discoveryPort()));
    const UdpSocket socket = prober();
    const Ipv4 device = run.simulator.devices()[0].address;

    ASSERT_TRUE(impostor->sendTo(device, run.simulator.discoveryPort(), std::string_view("reply")));
    ASSERT_TRUE(socket.sendTo(device, run.simulator.discoveryPort(), std::string_view()));
    ASSERT_EQ(collect(socket, 1).size(), 1u);
    EXPECT_FALSE(anythingQueued(*impostor));
    EXPECT_EQ(run.simulator.counters(0), (DeviceCounters{2, 1, 0}));
}

TEST(DiscoveryTest, ManyDevicesAnswerOneProbeWithoutLosingAReply) {
    constexpr std::size_t kDevices = 300;
    Running run(demoDevices(kDevices, ip("127.0.4.1")));
    ASSERT_TRUE(run.started);
    const UdpSocket socket = prober();
    ASSERT_TRUE(socket.sendTo(kLoopbackBroadcast, run.simulator.discoveryPort(), std::string_view()));
    EXPECT_EQ(collect(socket, kDevices).size(), kDevices);
    EXPECT_EQ(run.simulator.totals().repliesSent, kDevices);
}

}  // namespace
}  // namespace lm::sim
