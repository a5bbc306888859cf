#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/link/TftpServer.h"
#include "core/ops/FirmwareUpgrade.h"
#include "support/LoopbackPeer.h"
#include "support/RecordingChannel.h"
#include "support/TftpPackets.h"

namespace lm {
namespace {

using namespace std::string_literals;
using test::Conversation;
using test::readRequest;

std::span<const unsigned char> bytesOf(const std::string& s) {
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

class TftpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.open("127.0.0.1"), TftpOk);
        ASSERT_NE(server.localPort(), 0);
    }

    // Enough polls for queued datagrams; a lone wait runs out quickly with fast timing.
    static constexpr int kBudget = 200;

    Timing timing = Timing::fast();
    TftpServer server{timing, 0};
    test::RecordingChannel ui;
};

// A second open keeps the socket and is shown, but is no failure.
TEST_F(TftpServerTest, OpenAndClose) {
    const auto port = server.localPort();
    const int code = server.open("127.0.0.1");
    EXPECT_EQ(code, TftpAlreadyOpen);
    EXPECT_FALSE(reportTftpError(server, code, &ui));
    EXPECT_EQ(ui.calls(), std::vector<std::string>{"box:TFTP Error|TFTP socket already open."});
    EXPECT_TRUE(server.isOpen());
    EXPECT_EQ(server.localPort(), port);

    // An address that cannot be bound leaves the server closed, as Close does.
    TftpServer other(timing, server.localPort());
    for (const char* address : {"192.0.2.1", "not an address", "", "127.0.0.1"}) {
        EXPECT_EQ(other.open(address), TftpCannotBind) << address;
        EXPECT_FALSE(other.isOpen()) << address;
    }
    server.close();
    EXPECT_FALSE(server.isOpen());
    EXPECT_EQ(server.localPort(), 0);
    EXPECT_EQ(other.open("127.0.0.1"), TftpOk) << "closing must release the port";
    // A closed server fails every operation.
    EXPECT_EQ(server.waitForReadRequest("127.0.0.1", kBudget), TftpSocketError);
    EXPECT_EQ(server.waitForPacket(10), TftpSocketError);
    EXPECT_EQ(server.sendData(1, {}), TftpTransmissionError);
    server.sendError();
}

// Every code but 0 and 1 is a failure shown with its words.
TEST_F(TftpServerTest, ReportsEachCodeWithItsWords) {
    const std::pair<int, const char*> cases[] = {
        {TftpNoSocket, "Unable to create TFTP socket."},
        {TftpCannotBind, "Can't bind TFTP socket to Our IP address!"},
        {TftpWrongDevice, "TFTP request received from wrong device!"},
        {TftpSocketError, "TFTP socket error!"},
        {TftpBadLength, "Bad packet length!"},
        {TftpTransmissionError, "Transmission Error!"},
        {8, "Program error in TFTP routines!"},
    };
    for (const auto& [code, words] : cases) {
        test::RecordingChannel window;
        EXPECT_TRUE(reportTftpError(server, code, &window)) << code;
        EXPECT_EQ(window.calls(), std::vector<std::string>{"box:TFTP Error|" + std::string(words)}) << code;
    }
    EXPECT_FALSE(reportTftpError(server, TftpOk, &ui));
    EXPECT_TRUE(ui.calls().empty());
}

TEST_F(TftpServerTest, DropsEverythingButTheDevicesOctetRequestAndWaitsOn) {
    auto stranger = Conversation::udp("127.0.0.2", server.localPort());
    auto device = Conversation::udp("127.0.0.1", server.localPort());
    stranger.send(readRequest("evil.bin"));
    device.send(readRequest("bootimage.bin", "netascii"));
    device.send("\0\2bootimage.bin\0octet\0"s);
    device.send("");
    device.send("\0\1a\0octet\0"s);  // a whole request, but shorter than 16 bytes
    device.send(std::string(600, '\0'));
    device.send(readRequest("bootimage.bin") + std::string(2000, 'p'));  // cut to the buffer
    ASSERT_EQ(server.waitForReadRequest("127.0.0.1", kBudget), TftpOk);
    EXPECT_EQ(server.requestedFile(), "bootimage.bin");

    // Data goes to the device that asked, never to the stranger.
    ASSERT_EQ(server.sendData(1, bytesOf("x")), TftpOk);
    EXPECT_EQ(device.receive(), test::dataPacket(1, "x"));
    EXPECT_TRUE(stranger.quiet());
}

TEST_F(TftpServerTest, RunsOutOfBudgetWithoutAnAcceptableRequest) {
    auto device = Conversation::udp("127.0.0.1", server.localPort());
    auto stranger = Conversation::udp("127.0.0.2", server.localPort());
    const struct {
        const char* what;
        Conversation* sender;
        std::string packet;
        const char* deviceAddress;
    } cases[] = {
        {"nothing at all", nullptr, "", "127.0.0.1"},
        {"stranger's request", &stranger, readRequest("bootimage.bin"), "127.0.0.1"},
        {"unreadable device address", &device, readRequest("bootimage.bin"), "device"},
    };
    for (const auto& c : cases) {
        if (c.sender) c.sender->send(c.packet);
        EXPECT_EQ(server.waitForReadRequest(c.deviceAddress, kBudget), TftpTimeout) << c.what;
        EXPECT_EQ(server.requestedFile(), "") << c.what;
        EXPECT_TRUE(stranger.quiet()) << c.what;
    }
}

TEST_F(TftpServerTest, SendsDataAndErrorPacketsExactly) {
    auto device = Conversation::udp("127.0.0.1", server.localPort());
    device.send(readRequest("bootimage.bin"));
    ASSERT_EQ(server.waitForReadRequest("127.0.0.1", kBudget), TftpOk);

    const std::string block(512, 'b');
    EXPECT_EQ(server.sendData(0x1234, bytesOf(block)), TftpOk);
    EXPECT_EQ(server.sendData(2, bytesOf(block + "!")), TftpBadLength);
    server.sendError();

    EXPECT_EQ(device.receive(), test::dataPacket(0x1234, block));
    EXPECT_EQ(device.receive(), "\0\5\0\0Connection lost.\0"s);
    EXPECT_TRUE(device.quiet());
}

}  // namespace
}  // namespace lm
