#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <random>
#include <set>
#include <thread>

#include "Simulator.h"
#include "TftpClient.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using test::ip;
using test::StreamReader;

// The PC's side of a transfer, as small as a test can make it: one UDP socket that takes the read
// request and answers from the same port, as the product's server does.
class TftpPeer {
public:
    TftpPeer() : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in local = makeSockaddr(ip("127.0.0.1"), 0);
        ::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
        port_ = ntohs(bound.sin_port);
    }

    uint16_t port() const { return port_; }
    const sockaddr_in& peer() const { return peer_; }
    Ipv4 peerAddress() const { return peer_.sin_addr.s_addr; }

    // The next datagram, or nothing within kWaitMs.
    std::optional<std::string> receive() {
        pollfd readable{socket_.get(), POLLIN, 0};
        if (::poll(&readable, 1, test::kWaitMs) <= 0) return std::nullopt;
        char buffer[1024];
        socklen_t length = sizeof peer_;
        const ssize_t got =
            ::recvfrom(socket_.get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer_), &length);
        if (got < 0) return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(got));
    }

    void send(std::string_view packet) { sendTo(peer_, packet); }

    void sendTo(const sockaddr_in& to, std::string_view packet) {
        ::sendto(socket_.get(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }

    void sendData(uint16_t block, std::string_view bytes) {
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

private:
    UniqueFd socket_;
    uint16_t port_ = 0;
    sockaddr_in peer_{};
};

std::string image(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

ShellFaults lostAck(uint16_t block) {
    ShellFaults faults;
    faults.lostAck = block;
    return faults;
}

ShellFaults repeatAck(uint16_t block) {
    ShellFaults faults;
    faults.repeatAck = block;
    return faults;
}

TEST(TftpClientTest, Crc32MatchesTheStandardCheckValue) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(""), 0u);
    EXPECT_EQ(crc32("6789", crc32("12345")), 0xCBF43926u);  // continues across pieces
}

// netflash on a logged-in device fetches bootimage.bin from the test's server; the fault switches
// show on the wire as missing or repeated acknowledgements.
TEST(TftpClientTest, NetflashFetchesTheImageAndTheFaultsShowOnTheWire) {
    struct Case {
        const char* name;
        std::size_t size;
        ShellFaults faults;
        std::set<uint16_t> noAckAwaited;  // blocks after which the server goes straight on
        std::vector<uint16_t> acks;
    };
    const std::vector<Case> cases{
        {"three blocks", 1300, {}, {}, {1, 2, 3}},
        {"whole blocks end with an empty one", 1024, {}, {}, {1, 2, 3}},
        {"empty image", 0, {}, {}, {1}},
        {"lost ack", 1300, lostAck(2), {2}, {1, 3}},
        {"repeated ack", 1300, repeatAck(2), {}, {1, 1, 3}},
    };
    TftpPeer peer;
    SimulatorConfig config{demoDevices(cases.size(), ip("127.0.2.40"))};
    config.tftpPort = peer.port();
    for (std::size_t i = 0; i < cases.size(); ++i)
        config.devices[i].shell.faults = cases[i].faults;
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const UniqueFd fd = test::connectTo(config.devices[i].address, simulator.telnetPort());
        StreamReader reader(fd.get());
        ASSERT_TRUE(reader.until("login: "));
        const std::string command = "/bin/netflash -r /dev/rom4 127.0.0.1 bootimage.bin\n";
        const std::string typed = "admin\nvorna\n" + command;
        ::send(fd.get(), typed.data(), typed.size(), MSG_NOSIGNAL);

        const auto request = peer.receive();
        ASSERT_TRUE(request);
        EXPECT_EQ(*request, std::string("\0\1bootimage.bin\0octet\0", 22));
        EXPECT_EQ(peer.peerAddress(), config.devices[i].address);  // sent from the device's own address

        const std::string bytes = image(c.size);
        std::vector<uint16_t> acks;
        for (uint16_t block = 1;; ++block) {
            const std::size_t at = (block - 1u) * 512u;
            const std::string_view piece = std::string_view(bytes).substr(std::min(at, bytes.size()), 512);
            peer.sendData(block, piece);
            if (!c.noAckAwaited.contains(block)) {
                const auto ack = peer.ack();
                ASSERT_TRUE(ack);
                acks.push_back(*ack);  // a repeated one is taken as it comes: this server goes on regardless
            }
            if (piece.size() < 512) break;
        }
        EXPECT_EQ(acks, c.acks);

        const auto output = reader.until("flash programmed\r\n> ");
        ASSERT_TRUE(output) << reader.seen();
        EXPECT_NE(output->find("netflash: got \"bootimage.bin\", length=" + std::to_string(c.size) + "\r\n"),
                  std::string::npos)
            << *output;
        const auto flashes = simulator.flashes(i);
        ASSERT_EQ(flashes.size(), 1u);
        EXPECT_TRUE(flashes[0].complete) << flashes[0].error;
        EXPECT_EQ(flashes[0].bytes, c.size);
        EXPECT_EQ(flashes[0].crc32, crc32(bytes));
        EXPECT_EQ(flashes[0].rom, "/dev/rom4");
        EXPECT_EQ(flashes[0].server, "127.0.0.1");
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
    StreamReader reader(fd.get());
    const std::string typed = "admin\nvorna\nnetflash 127.0.0.1 image.bin\n";
    ::send(fd.get(), typed.data(), typed.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(peer.receive());
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
}

// The client on its own: stray packets are ignored, and oversized data ends the fetch.
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
    stranger.sendTo(peer.peer(), std::string("\0\3\0\2last", 8));
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
