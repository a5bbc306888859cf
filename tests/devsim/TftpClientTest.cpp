#include <gtest/gtest.h>

#include <random>
#include <set>
#include <thread>

#include "Simulator.h"
#include "TftpClient.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using test::ip;

// The PC's side of a transfer, as small as a test can make it: one UDP socket that takes the read
// request and answers from the same port, as the product's server does.
class TftpPeer {
public:
    TftpPeer() : socket_(*UdpSocket::open()) { socket_.bind(ip("127.0.0.1"), 0); }

    uint16_t port() const { return socket_.localPort(); }
    Ipv4 peerAddress() const { return peer_; }
    uint16_t peerPort() const { return peerPort_; }

    // The next datagram, or nothing within kWaitMs.
    std::optional<std::string> receive() {
        const auto datagram = test::receiveWithin(socket_);
        if (!datagram) return std::nullopt;
        peer_ = datagram->from;
        peerPort_ = datagram->fromPort;
        return test::textOf(*datagram);
    }

    void send(std::string_view packet) const { socket_.sendTo(peer_, peerPort_, packet); }

    void sendData(uint16_t block, std::string_view bytes) const {
        send(std::string{0, 3, static_cast<char>(block >> 8), static_cast<char>(block & 0xFF)} +
             std::string(bytes));
    }

    // The block number of an acknowledgement; nullopt for anything else or nothing.
    std::optional<uint16_t> ack() {
        const auto packet = receive();
        if (!packet || packet->size() != 4 || (*packet)[0] != 0 || (*packet)[1] != 4) return std::nullopt;
        return static_cast<uint16_t>(static_cast<unsigned char>((*packet)[2]) << 8 |
                                     static_cast<unsigned char>((*packet)[3]));
    }

    const UdpSocket& socket() const { return socket_; }

private:
    UdpSocket socket_;
    Ipv4 peer_ = 0;
    uint16_t peerPort_ = 0;
};

std::string image(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

TEST(TftpClientTest, Crc32MatchesTheStandardCheckValue) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(""), 0u);
    EXPECT_EQ(crc32("6789", crc32("12345")), 0xCBF43926u);  // continues across pieces
}

// The boundary sizes, and the fault switches, which show on the wire as missing or repeated
// acknowledgements. A plain fetch through the flash tool is covered end to end by the core tests.
TEST(TftpClientTest, AcknowledgesEachBlockAndTheFaultsShowOnTheWire) {
    struct Case {
        const char* name;
        std::size_t size;
        TftpClient::Faults faults;
        std::set<uint16_t> noAckAwaited;  // blocks after which the server goes straight on
        std::vector<uint16_t> acks;
    };
    const std::vector<Case> cases{
        {"whole blocks end with an empty one", 1024, {}, {}, {1, 2, 3}},
        {"empty image", 0, {}, {}, {1}},
        {"lost ack", 1300, {2, std::nullopt}, {2}, {1, 3}},
        {"repeated ack", 1300, {std::nullopt, 2}, {}, {1, 1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TftpPeer peer;
        TftpResult result;
        std::thread device([&] {
            TftpClient client(ip("127.0.0.2"), c.faults, Milliseconds(test::kWaitMs), {});
            result = client.fetch(ip("127.0.0.1"), peer.port(), "bootimage.bin");
        });
        const auto request = peer.receive();
        EXPECT_EQ(request, std::string("\0\1bootimage.bin\0octet\0", 22));
        EXPECT_EQ(peer.peerAddress(), ip("127.0.0.2"));  // sent from the device's own address

        const std::string bytes = image(c.size);
        std::vector<uint16_t> acks;
        for (uint16_t block = 1; request; ++block) {
            const std::size_t at = (block - 1u) * 512u;
            const std::string_view piece = std::string_view(bytes).substr(std::min(at, bytes.size()), 512);
            peer.sendData(block, piece);
            // A repeated acknowledgement is taken as it comes: this server goes on regardless.
            if (!c.noAckAwaited.contains(block)) acks.push_back(peer.ack().value_or(0));
            if (piece.size() < 512) break;
        }
        device.join();
        EXPECT_EQ(acks, c.acks);
        EXPECT_TRUE(result.complete) << result.error;
        EXPECT_EQ(result.bytes, c.size);
        EXPECT_EQ(result.crc32, crc32(bytes));
    }
}

TEST(TftpClientTest, ServerErrorEndsTheFlashToolWithItsText) {
    TftpPeer peer;
    SimulatorConfig config{demoDevices(1, ip("127.0.2.50"))};
    config.tftpPort = peer.port();
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    const UniqueFd fd = test::connectTo(config.devices[0].address, simulator.telnetPort());
    test::StreamReader reader(fd.get());
    ASSERT_TRUE(sendAll(fd.get(), "admin\nvorna\nnetflash -r /dev/rom4 127.0.0.1 image.bin\n"));
    ASSERT_TRUE(peer.receive());
    EXPECT_EQ(peer.peerAddress(), config.devices[0].address);
    peer.send(std::string("\0\5\0\1File not found\0", 19));
    ASSERT_TRUE(reader.until("\r\n> "));  // the login's prompt
    const auto output = reader.until("\r\n> ");
    ASSERT_TRUE(output) << reader.seen();
    EXPECT_TRUE(output->ends_with("\r\nnetflash: TFTP transfer failed: server error 1: File not found\r\n> "))
        << *output;
    const auto flashes = simulator.flashes(0);
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_FALSE(flashes[0].complete);
    EXPECT_EQ(flashes[0].error, "server error 1: File not found");
    EXPECT_EQ(flashes[0].file, "image.bin");
    EXPECT_EQ(flashes[0].rom, "/dev/rom4");
    EXPECT_EQ(flashes[0].server, "127.0.0.1");
}

// Stray packets are ignored, and oversized data ends the fetch.
TEST(TftpClientTest, StrayAndOversizedPacketsAreHandledSafely) {
    TftpPeer peer;
    TftpPeer stranger;
    TftpResult result;
    std::thread device([&] {
        TftpClient client(ip("127.0.0.1"), {}, Milliseconds(test::kWaitMs), {});
        result = client.fetch(ip("127.0.0.1"), peer.port(), "bootimage.bin");
    });
    ASSERT_TRUE(peer.receive());
    peer.sendData(1, std::string(512, 'a'));
    ASSERT_EQ(peer.ack(), 1);
    // From another port of the same host: not the transfer's peer. Taken, it would end the transfer.
    stranger.socket().sendTo(peer.peerAddress(), peer.peerPort(), std::string_view("\0\3\0\2last", 8));
    peer.sendData(2, std::string(600, 'b'));
    const auto answer = peer.receive();
    device.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->substr(0, 4), std::string("\0\5\0\4", 4));  // an error packet, not an ack
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_EQ(result.error, "data packet of 600 bytes");
}

}  // namespace
}  // namespace lm::sim
