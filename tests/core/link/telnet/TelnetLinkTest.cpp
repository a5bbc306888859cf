// Reading, expecting, draining and closing against a scripted device on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/link/TelnetLink.h"
#include "support/LoopbackPeer.h"

namespace lm {
namespace {

using namespace std::string_literals;
using test::Conversation;
using test::LoopbackPeer;

constexpr int kLongWait = 2000;  // ticks; ends early as soon as text comes

class TelnetLinkTest : public testing::Test {
protected:
    void connect(LoopbackPeer& peer) {
        link = std::make_unique<TelnetLink>(timing, peer.port());
        ASSERT_TRUE(link->connect("127.0.0.1"));
    }
    // Closes the link and checks that the device's script went through.
    void finish(LoopbackPeer& peer) {
        link->close();
        EXPECT_TRUE(peer.finish().empty());
    }
    Timing timing = Timing::fast();
    std::unique_ptr<TelnetLink> link;
};

// A block of negotiation alone is refused in one answer while ReadLine waits on; a sequence cut by
// the end of a block is not answered, and its rest is text.
TEST_F(TelnetLinkTest, NegotiationIsRefusedUnlessABlockCutsIt) {
    LoopbackPeer peer([](Conversation& c) {
        c.send("\xff\xfd\x01\xff\xfb\x03");
        if (c.expect("\xff\xfc\x01\xff\xfe\x03")) c.send("hello\n");
        if (c.awaitRelease()) c.send("ab\xff\xfd");
        if (c.awaitRelease())
            c.send(
                "\x01"
                "cd\n\xff\xfb\x05"
                "x\n");
        c.expect("\xff\xfe\x05");
        c.holdUntilClosed();
    });
    connect(peer);
    EXPECT_EQ(link->readLine(kLongWait), "hello\n");
    peer.release();
    EXPECT_EQ(link->readLine(kLongWait), "ab");
    peer.release();
    EXPECT_EQ(link->readLine(kLongWait),
              "\x01"
              "cd\n");
    EXPECT_EQ(link->readLine(kLongWait), "x\n");
    finish(peer);
    EXPECT_EQ(peer.received(), "\xff\xfc\x01\xff\xfe\x03\xff\xfe\x05");  // the cut DO 1 is not refused
}

// Fast lines give back at most fifty turns; of the patterns, the first in argument order wins.
TEST_F(TelnetLinkTest, FastLinesAndPatternOrder) {
    LoopbackPeer peer([](Conversation& c) {
        std::string lines;
        for (int i = 0; i < 99; ++i)
            lines += "line " + std::to_string(i) + "\n";
        c.send(lines + "flash cleared, then access denied\n");
        c.notify();
        c.holdUntilClosed();
    });
    connect(peer);
    ASSERT_TRUE(peer.awaitNotice());  // every line is there before the first turn
    EXPECT_EQ(link->expect(10, {"nowhere"}), 0);
    EXPECT_EQ(link->lastExpectReads(), 60);
    EXPECT_EQ(link->readLine(kLongWait), "line 60\n");
    EXPECT_EQ(link->expect(5, {"denied", "cleared"}), 1);
    finish(peer);
}

TEST_F(TelnetLinkTest, PatternSplitOverBlocksIsFoundAfterACut) {
    LoopbackPeer peer([](Conversation& c) {
        // The refusal proves the first block was read before the rest is sent.
        c.send(std::string(600, 'x') + "\nlog\xff\xfd\x01");
        if (c.expect("\xff\xfc\x01")) c.send("in: ");
        c.holdUntilClosed();
    });
    connect(peer);
    EXPECT_EQ(link->expect(15, {"login:"}), 1);
    EXPECT_EQ(link->lastExpectReads(), 3);
    finish(peer);
}

// Silence uses every turn; once the peer has closed, mid-line, every call ends at once.
TEST_F(TelnetLinkTest, SilenceAndAPeerClosingMidLine) {
    LoopbackPeer peer([](Conversation& c) {
        if (c.awaitRelease()) c.send("ab\r\0partial"s);
        c.close();
    });
    connect(peer);
    EXPECT_EQ(link->expect(15, {"login:"}), 0);
    EXPECT_EQ(link->lastExpectReads(), 15);
    EXPECT_EQ(link->transcript(), "");
    EXPECT_EQ(link->expect(0, {""}), 0);
    EXPECT_EQ(link->lastExpectReads(), 0);
    peer.release();
    EXPECT_EQ(link->readLine(kLongWait), "ab\r\n");  // a zero byte ends a line, the return stays
    EXPECT_EQ(link->readLine(kLongWait), "partial");
    EXPECT_EQ(link->readLine(kLongWait), "");
    EXPECT_EQ(link->readFullLine(kLongWait), "");
    EXPECT_EQ(link->expect(5, {"#"}), 0);
    EXPECT_EQ(link->lastExpectReads(), 5);
    EXPECT_TRUE(peer.finish().empty());
}

TEST_F(TelnetLinkTest, PeerResetDoesNotKillTheProcess) {
    LoopbackPeer peer([](Conversation& c) {
        c.send("partial");
        c.awaitRelease();
        c.reset();
    });
    connect(peer);
    EXPECT_EQ(link->readLine(kLongWait), "partial");
    peer.release();
    EXPECT_TRUE(peer.finish().empty());
    EXPECT_EQ(link->readLine(kLongWait), "");
    // Without MSG_NOSIGNAL this send would raise SIGPIPE and end the test program.
    EXPECT_FALSE(link->send("quit\n"));
    EXPECT_FALSE(link->send("quit\n"));
    EXPECT_EQ(link->expect(3, {"#"}), 0);
}

// ReadUntil stops at its terminator or a line end; Logout sends quit and closes after the device does.
TEST_F(TelnetLinkTest, ReadUntilThenLogout) {
    LoopbackPeer peer([](Conversation& c) {
        c.send("ver");
        c.awaitRelease();
        c.send("sion 2.1\nuser# ");
        if (c.expect("quit\n")) c.send("bye\n");
        c.close();
    });
    connect(peer);
    EXPECT_EQ(link->readLine(kLongWait), "ver");
    peer.release();
    EXPECT_EQ(link->readFullLine(kLongWait), "sion 2.1\n");
    EXPECT_EQ(link->readUntil(20, "# "), "user# ");
    EXPECT_EQ(link->readUntil(20, "# "), "");
    link->logout(true);
    EXPECT_FALSE(link->isOpen());
    EXPECT_EQ(link->transcript(), "bye\n");
    EXPECT_TRUE(peer.finish().empty());
}

TEST_F(TelnetLinkTest, DrainDropsPendingAndQueuedText) {
    LoopbackPeer peer([](Conversation& c) {
        c.send("a\nb\n");
        c.awaitRelease();
        c.send("junk\n");
        c.awaitDelivered();
        c.notify();
        if (c.expect("go\n")) c.send("fresh\n");
        c.holdUntilClosed();
    });
    connect(peer);
    EXPECT_EQ(link->readLine(kLongWait), "a\n");
    peer.release();
    ASSERT_TRUE(peer.awaitNotice());
    link->drain();
    EXPECT_EQ(link->pendingText, "");
    link->drain();  // nothing left: returns without waiting
    EXPECT_TRUE(link->send("go\n"));
    EXPECT_EQ(link->readLine(kLongWait), "fresh\n");
    finish(peer);
}

// Hostile devices: every call must come back within its budget with bounded text.

TEST_F(TelnetLinkTest, EndlessLineIsHandedOutInBoundedPieces) {
    LoopbackPeer peer([](Conversation& c) { c.sendForever(std::string(4096, 'z')); });
    connect(peer);
    for (const auto& piece : {link->readFullLine(20), link->readUntil(20, "# ")}) {
        EXPECT_GE(piece.size(), 16u * 1024);
        EXPECT_LE(piece.size(), 16u * 1024 + TelnetLink::kReceiveBlock);
        EXPECT_EQ(piece.find_first_not_of('z'), std::string::npos);
    }
    EXPECT_EQ(link->expect(3, {"#"}), 0);
    EXPECT_LE(link->transcript().size(), 512u);
    EXPECT_LE(link->pendingText.size(), TelnetLink::kReceiveBlock);
    finish(peer);
}

// A device that trickles a byte now and then, never ending its line, holds no wait past its bound.
TEST_F(TelnetLinkTest, TrickleEndsEveryWaitAtItsBound) {
    LoopbackPeer peer([](Conversation& c) {
        while (c.send("z") && c.quiet(std::chrono::milliseconds(30))) {
        }
    });
    timing.waitBound = std::chrono::milliseconds(300);
    connect(peer);
    EXPECT_FALSE(link->readUntil(kLongWait, "# ").empty());
    EXPECT_TRUE(link->lastWaitCut());
    EXPECT_EQ(link->expect(40, {"#"}), 0);
    EXPECT_TRUE(link->lastWaitCut());
    finish(peer);
}

TEST_F(TelnetLinkTest, NegotiationFloodCannotHoldReadLine) {
    int answers = 0;
    LoopbackPeer peer(
        [&answers](Conversation& c) { answers = c.exchangeForever("\xff\xfd\x01", "\xff\xfc\x01"); });
    connect(peer);
    EXPECT_EQ(link->readLine(20), "");
    EXPECT_EQ(link->expect(3, {"#"}), 0);
    EXPECT_EQ(link->lastExpectReads(), 3);
    finish(peer);
    EXPECT_GT(answers, 1);  // the peer kept negotiating inside the calls
}

}  // namespace
}  // namespace lm
