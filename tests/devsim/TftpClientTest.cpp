#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "devsim/Simulator.h"
#include "devsim/TftpClient.h"
#include "support/LoopbackPeer.h"
#include "support/TftpPackets.h"

namespace lm::sim {
namespace {

using lm::test::acknowledgement;
using lm::test::dataPacket;
using test::Conversation;
using test::kStepLimit;
using test::LoopbackPeer;

// The PC's side of a transfer: a UDP peer that answers from the port the request came to.
constexpr auto kUdp = LoopbackPeer::Transport::Udp;

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
        std::set<unsigned> noAckAwaited;  // blocks after which the server goes straight on
        std::vector<unsigned> acks;
    };
    const std::vector<Case> cases{
        {"whole blocks end with an empty one", 1024, {}, {}, {1, 2, 3}},
        {"empty image", 0, {}, {}, {1}},
        {"lost ack", 1300, {2, std::nullopt}, {2}, {1, 3}},
        {"repeated ack", 1300, {std::nullopt, 2}, {}, {1, 1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = image(c.size);
        std::vector<std::string> acks;
        LoopbackPeer pc(
            [&](Conversation& s) {
                EXPECT_EQ(s.receive(), lm::test::readRequest("bootimage.bin"));
                EXPECT_EQ(s.sender(), *parseIpv4("127.0.0.2"));  // sent from the device's own address
                for (unsigned block = 1;; ++block) {
                    const std::string_view piece =
                        std::string_view(bytes).substr(std::min<std::size_t>((block - 1) * 512, c.size), 512);
                    s.send(dataPacket(block, piece));
                    // A repeated acknowledgement is taken as it comes: this server goes on regardless.
                    if (!c.noAckAwaited.contains(block)) acks.push_back(s.receive().value_or("none"));
                    if (piece.size() < 512) return;
                }
            },
            kUdp);
        const auto result = TftpClient(*parseIpv4("127.0.0.2"), c.faults, kStepLimit, {})
                                .fetch(*parseIpv4("127.0.0.1"), pc.port(), "bootimage.bin");
        EXPECT_TRUE(pc.finish().empty());
        std::vector<std::string> expected;
        for (const unsigned block : c.acks)
            expected.push_back(acknowledgement(block));
        EXPECT_EQ(acks, expected);
        EXPECT_TRUE(result.complete) << result.error;
        EXPECT_EQ(result.bytes, c.size);
        EXPECT_EQ(result.crc32, crc32(bytes));
    }
}

TEST(TftpClientTest, ServerErrorEndsTheFlashToolWithItsText) {
    SimulatorConfig config{demoDevices(1, *parseIpv4("127.0.2.50"))};
    LoopbackPeer pc(
        [device = config.devices[0].address](Conversation& s) {
            if (!s.receive()) return;
            EXPECT_EQ(s.sender(), device);
            s.send(std::string("\0\5\0\1File not found\0", 19));
        },
        kUdp);
    config.tftpPort = pc.port();
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    auto telnet = Conversation::connect(config.devices[0].address, simulator.telnetPort());
    ASSERT_TRUE(telnet.send("admin\nvorna\nnetflash -r /dev/rom4 127.0.0.1 image.bin\n"));
    ASSERT_TRUE(telnet.until("\r\n> "));  // the login's prompt
    const auto output = telnet.until("\r\n> ");
    ASSERT_TRUE(output);
    EXPECT_TRUE(output->ends_with("\r\nnetflash: TFTP transfer failed: server error 1: File not found\r\n> "))
        << *output;
    EXPECT_TRUE(pc.finish().empty());
    const auto flashes = simulator.flashes(0);
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_FALSE(flashes[0].complete);
    EXPECT_EQ(flashes[0].error, "server error 1: File not found");
    EXPECT_EQ(flashes[0].file, "image.bin");
    EXPECT_EQ(flashes[0].rom, "/dev/rom4");
    EXPECT_EQ(flashes[0].server, "127.0.0.1");
}

// Whoever has the last acknowledgement finds the image noted and its copy whole: a PC that says
// the upgrade is done may look at the device at once.
TEST(TftpClientTest, FlashToolNotesTheImageBeforeTheLastAcknowledgement) {
    SimulatorConfig config{demoDevices(1, *parseIpv4("127.0.2.51"))};
    const std::string copyPath = testing::TempDir() + "flash-copy-" + std::to_string(::getpid());
    config.devices[0].shell.flashCopy = copyPath;
    const std::string bytes = image(3 * 512 + 7);
    std::atomic<Simulator*> running{nullptr};
    std::vector<FlashRecord> notedAtLastAck;
    std::string copyAtLastAck;
    LoopbackPeer pc(
        [&](Conversation& s) {
            if (!s.receive()) return;
            for (unsigned block = 1; block <= 4; ++block) {
                s.send(dataPacket(block, std::string_view(bytes).substr((block - 1) * 512, 512)));
                if (s.receive() != acknowledgement(block)) return s.fail("no acknowledgement");
            }
            notedAtLastAck = running.load()->flashes(0);
            std::ifstream copy(copyPath, std::ios::binary);
            copyAtLastAck.assign(std::istreambuf_iterator<char>(copy), {});
        },
        kUdp);
    config.tftpPort = pc.port();
    Simulator simulator(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    running = &simulator;
    auto telnet = Conversation::connect(config.devices[0].address, simulator.telnetPort());
    ASSERT_TRUE(telnet.send("admin\nvorna\nnetflash -r /dev/rom4 127.0.0.1 bootimage.bin\n"));
    EXPECT_TRUE(pc.finish().empty());
    ASSERT_EQ(notedAtLastAck.size(), 1u);
    EXPECT_TRUE(notedAtLastAck[0].complete);
    EXPECT_EQ(notedAtLastAck[0].crc32, crc32(bytes));
    EXPECT_EQ(copyAtLastAck, bytes);
    std::filesystem::remove(copyPath);
}

// Stray packets are ignored, and oversized data ends the fetch.
TEST(TftpClientTest, StrayAndOversizedPacketsAreHandledSafely) {
    auto stranger = Conversation::udp();
    LoopbackPeer pc(
        [&](Conversation& s) {
            if (!s.receive()) return;
            s.send(dataPacket(1, std::string(512, 'a')));
            EXPECT_EQ(s.receive(), acknowledgement(1));
            // From another port of the same host: not the transfer's peer. Taken, it would end the transfer.
            stranger.talkTo(s.senderPort(), s.sender());
            stranger.send(dataPacket(2, "last"));
            s.send(dataPacket(2, std::string(600, 'b')));
            EXPECT_EQ(s.receive().value_or("none").substr(0, 4),
                      std::string("\0\5\0\4", 4));  // an error, not an ack
        },
        kUdp);
    const auto result = TftpClient(*parseIpv4("127.0.0.1"), {}, kStepLimit, {})
                            .fetch(*parseIpv4("127.0.0.1"), pc.port(), "bootimage.bin");
    EXPECT_TRUE(pc.finish().empty());
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_EQ(result.error, "data packet of 600 bytes");
}

}  // namespace
}  // namespace lm::sim
