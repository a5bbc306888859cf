#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "core/link/TftpServer.h"
#include "support/LoopbackPeer.h"
#include "support/TftpPackets.h"

namespace lm {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using test::acknowledgement;
using test::Conversation;
using Outcome = TftpServer::Outcome;

// A file in memory; reads stop at `readable`, so a file can end before its announced length.
struct MemoryFile {
    std::string bytes;
    std::size_t readable = 0;
    std::size_t offset = 0;

    explicit MemoryFile(std::size_t length = 0) : readable(length) {
        for (std::size_t i = 0; i < length; ++i)
            bytes.push_back(static_cast<char>((i * 7 + i / 512) & 0xff));
    }
    std::size_t read(std::span<unsigned char> into) {
        const auto n = std::min(into.size(), readable - std::min(readable, offset));
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, into.begin());
        offset += n;
        return n;
    }
};

class TftpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.open("127.0.0.1"), TftpOk);
        device.emplace(Conversation::udp("127.0.0.1", server.localPort()));
        stranger.emplace(Conversation::udp("127.0.0.2", server.localPort()));
    }

    // The device asks for the file; the server then sends it on a thread of its own.
    void start(MemoryFile content) {
        file = std::move(content);
        progress.clear();
        device->send(test::readRequest("bootimage.bin"));
        ASSERT_EQ(server.waitForReadRequest("127.0.0.1", 200), TftpOk);
        transfer = std::async(std::launch::async, [this] {
            return server.sendFile(
                file.bytes.size(), [this](std::span<unsigned char> into) { return file.read(into); },
                [this](unsigned position) { progress.push_back(position); },
                [this] { return cancelAfter-- == 0; });
        });
    }

    // The device must receive data block `block` holding the file's next `size` bytes.
    void expectData(unsigned block, std::size_t size) {
        EXPECT_EQ(device->receive(), test::dataPacket(block, file.bytes.substr((block - 1) * 512, size)))
            << "block " << block;
    }

    TftpServer::Result finish() {
        EXPECT_EQ(transfer.wait_for(5s), std::future_status::ready) << "the transfer did not end";
        return transfer.get();
    }

    Timing timing = Timing::fast();
    TftpServer server{timing, 0};
    std::optional<Conversation> device;
    std::optional<Conversation> stranger;
    MemoryFile file;
    std::vector<unsigned> progress;
    std::atomic<int> cancelAfter = -1;
    std::future<TftpServer::Result> transfer;
};

TEST_F(TftpTransferTest, SendsFullBlocksThenALastShortOrEmptyBlockAndAwaitsEveryAcknowledgement) {
    for (const std::size_t length : {0u, 700u, 1024u, 64u * 512 + 100}) {
        SCOPED_TRACE(length);
        start(MemoryFile(length));
        const unsigned full = static_cast<unsigned>(length / 512);
        for (unsigned block = 1; block <= full; ++block) {
            expectData(block, 512);
            device->send(acknowledgement(block));
        }
        expectData(full + 1, length % 512);
        device->send(acknowledgement(full + 1));
        const auto result = finish();
        EXPECT_EQ(result.outcome, Outcome::Completed);
        EXPECT_TRUE(device->quiet());
        std::vector<unsigned> every32nd;  // progress after each 32nd block
        for (unsigned position = 1; position <= full / 32; ++position)
            every32nd.push_back(position);
        EXPECT_EQ(progress, every32nd);
    }
}

// Silence times out without a retransmission.
TEST_F(TftpTransferTest, AnyOtherAnswerThanTheExactAcknowledgementLosesTheConnection) {
    const struct {
        const char* what;
        std::optional<std::string> answer;
        int code = TftpOk;
        unsigned block = 2;  // the data block answered so
    } cases[] = {
        {"repeated acknowledgement 1", acknowledgement(1)},
        {"five bytes", acknowledgement(2) + "\0"s},
        {"three bytes", "\0\4\0"s},
        {"empty datagram", ""},
        {"oversized, acknowledgement first", acknowledgement(2) + std::string(1000, 'x')},
        {"silence", std::nullopt, TftpTimeout},
        // Without its acknowledgement nobody knows that the image arrived whole.
        {"silence after the last block", std::nullopt, TftpTimeout, 4},
        {"repeated acknowledgement after the last block", acknowledgement(3), TftpOk, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start(MemoryFile(1536));
        for (unsigned block = 1; block < c.block; ++block) {
            expectData(block, 512);
            device->send(acknowledgement(block));
        }
        expectData(c.block, c.block == 4 ? 0 : 512);
        if (c.answer) device->send(*c.answer);
        const auto result = finish();
        EXPECT_EQ(result.outcome, Outcome::ConnectionLost);
        EXPECT_EQ(result.code, c.code);
        EXPECT_TRUE(device->quiet()) << "nothing may follow a lost connection";
    }
}

TEST_F(TftpTransferTest, OtherSendersNeitherEndNorRedirectTheTransfer) {
    auto otherPort = Conversation::udp("127.0.0.1", server.localPort());
    start(MemoryFile(1024));
    expectData(1, 512);
    stranger->send(acknowledgement(1));
    otherPort.send(acknowledgement(1));
    stranger->send("\0\5\0\0stop\0"s);
    device->send(acknowledgement(1));
    expectData(2, 512);
    stranger->send(acknowledgement(2));
    otherPort.send(test::readRequest("bootimage.bin"));
    device->send(acknowledgement(2));
    expectData(3, 0);
    device->send(acknowledgement(3));
    EXPECT_EQ(finish().outcome, Outcome::Completed);
    EXPECT_TRUE(stranger->quiet());
    EXPECT_TRUE(otherPort.quiet());
}

// A cancel, or a file that ends before its announced length, stops the transfer before the next block.
TEST_F(TftpTransferTest, ACancelOrAFileEndingEarlyStopsBeforeTheNextBlock) {
    const struct {
        std::size_t length;
        std::size_t readable;
        int cancelAfter;
        Outcome outcome;
    } cases[] = {{2048, 2048, 1, Outcome::Cancelled},
                 {1024, 600, -1, Outcome::ReadError},
                 {700, 600, -1, Outcome::ReadError}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        cancelAfter = c.cancelAfter;
        MemoryFile content(c.length);
        content.readable = c.readable;
        start(content);
        expectData(1, 512);
        device->send(acknowledgement(1));
        EXPECT_EQ(finish().outcome, c.outcome);
        EXPECT_TRUE(device->quiet());
    }
}

}  // namespace
}  // namespace lm
