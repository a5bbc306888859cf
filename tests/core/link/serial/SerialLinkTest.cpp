#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/link/SerialLink.h"
#include "support/LoopbackPeer.h"

namespace lm {
namespace {

using namespace std::chrono_literals;
using test::Conversation;
using test::LoopbackPeer;

SerialPortMap portsTo(const std::string& path) {
    SerialPortMap ports;
    ports.set(3, path);
    return ports;
}

// A pseudo-terminal: the link opens the terminal's path as COM3, the device plays on the other side.
struct Pty {
    Pty() {
        int m = -1, s = -1;
        char name[128] = {};
        if (::openpty(&m, &s, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        master.reset(m);
        terminal.reset(s);
        path = name;
        ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
        ::fcntl(m, F_SETFD, FD_CLOEXEC);
        ::fcntl(s, F_SETFD, FD_CLOEXEC);
    }
    UniqueFd master;
    UniqueFd terminal;  // a second handle, for looking at the line settings the link applied
    std::string path;
};

// Opens the link, then writes the device's first words, so they wait for the link's first read.
bool openAndShow(SerialLink& link, int master, std::string_view opening) {
    return link.open("COM3") == 0 &&
           ::write(master, opening.data(), opening.size()) == static_cast<ssize_t>(opening.size());
}

// A link open on a terminal of its own; the device shows the opening, then plays the script.
struct Console {
    Console(const Timing& timing, std::string_view opening, LoopbackPeer::Script script = holdUntilClosed)
        : link(timing, portsTo(pty.path)),
          opened(openAndShow(link, pty.master.get(), opening)),
          device(std::move(script), std::move(pty.master)) {}
    static void holdUntilClosed(Conversation& d) { d.holdUntilClosed(); }
    Pty pty;
    SerialLink link;
    bool opened;
    LoopbackPeer device;
};

// A device that repeats the unit without end, in blocks of about 4 KiB.
LoopbackPeer::Script forever(std::string_view unit) {
    std::string bytes;
    while (bytes.size() < 4096)
        bytes += unit;
    return [bytes](Conversation& d) { d.sendForever(bytes); };
}

// Timing::fast() for most cases. The cases about silence inside a line use a longer byte wait so
// that a device's pause falls well inside, or well outside, the link's budget.
class SerialLinkTest : public ::testing::Test {
protected:
    void openLink() { ASSERT_EQ(link.open("COM3"), 0); }

    Timing timing = Timing::fast();
    Pty pty;
    SerialLink link{timing, portsTo(pty.path)};
};

TEST_F(SerialLinkTest, OpenAppliesRawEightNoneOneWithoutFlowControl) {
    openLink();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.terminal.get(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B38400);
    EXPECT_EQ(::cfgetispeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.lastOpenError(), SerialLink::OpenError::None);

    for (const auto& [rate, speed] : {std::pair<int, speed_t>{1200, B1200}, {300, B300}}) {
        link.close();
        link.setBitRate(rate);
        openLink();
        ASSERT_EQ(::tcgetattr(pty.terminal.get(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), speed) << rate;
    }
}

// A failed open says why, leaves a closed link that fails every call, and the port free.
TEST_F(SerialLinkTest, OpenFailuresSayWhy) {
    const struct {
        const char* name;
        std::string path;
        int bitRate;
        SerialLink::OpenError error;
    } cases[] = {
        {"COM3", ::testing::TempDir() + "serial-missing-device", 38400, SerialLink::OpenError::NotFound},
        {"COM33", pty.path, 38400, SerialLink::OpenError::NotFound},
        {"COM3", "/", 38400, SerialLink::OpenError::Other},       // a directory
        {"COM3", pty.path, 12345, SerialLink::OpenError::Other},  // settings that cannot be applied
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.path + " " + std::to_string(c.bitRate));
        SerialLink other(timing, portsTo(c.path));
        other.setBitRate(c.bitRate);
        EXPECT_EQ(other.open(c.name), 1);
        EXPECT_EQ(other.lastOpenError(), c.error);
        EXPECT_FALSE(other.isOpen());
        EXPECT_FALSE(other.write("x"));
        EXPECT_TRUE(other.write(""));
        EXPECT_FALSE(other.readLine());
        EXPECT_FALSE(other.readNonEmptyLine());
        EXPECT_EQ(other.expect(3, {"x"}), 0);
    }
    openLink();
}

TEST_F(SerialLinkTest, APortInUseIsRefusedUntilReleased) {
    openLink();
    SerialLink other(timing, portsTo(pty.path));
    EXPECT_EQ(other.open("COM3"), 1);
    EXPECT_EQ(other.lastOpenError(), SerialLink::OpenError::InUse);
    link.close();
    EXPECT_FALSE(link.isOpen());

    {  // another program's lock counts too
        const UniqueFd holder(::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(holder.valid());
        ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(other.open("COM3"), 1);
        EXPECT_EQ(other.lastOpenError(), SerialLink::OpenError::InUse);
    }
    EXPECT_EQ(other.open("COM3"), 0);
}

// Lines end at a carriage return or a line feed; every byte written goes out in order.
TEST_F(SerialLinkTest, LinesEndAtCarriageReturnOrLineFeedAndWritesKeepEveryByte) {
    const std::string text = std::string("admin\n\x1b:q!\n\x04", 12) + std::string(1, '\xff');
    Console c(timing, std::string("abc\r\nde\0f\nlast\r\n", 16),
              [&text](Conversation& d) { d.expect(text); });
    ASSERT_TRUE(c.opened);
    ASSERT_TRUE(c.link.readLine());
    EXPECT_EQ(c.link.currentLine, "abc");
    ASSERT_TRUE(c.link.readLine());  // the line feed of the pair
    EXPECT_EQ(c.link.currentLine, "");
    ASSERT_TRUE(c.link.readLine());
    EXPECT_EQ(c.link.currentLine, "de f");  // a zero byte arrives as a space
    ASSERT_TRUE(c.link.readNonEmptyLine());
    EXPECT_EQ(c.link.currentLine, "last");
    EXPECT_FALSE(c.link.readNonEmptyLine());  // skips the line feed, then silence on an empty line
    EXPECT_EQ(c.link.currentLine, "");
    EXPECT_TRUE(c.link.write(text));
    EXPECT_TRUE(c.link.write(""));
    EXPECT_TRUE(c.device.finish().empty());
    EXPECT_EQ(c.device.received(), text);
}

// The device shows a text, pauses for about three of the link's byte waits, then sends more.
// Only a shell prompt ends its line at the first silence.
TEST_F(SerialLinkTest, OnlyAPromptEndsALineAtTheFirstSilence) {
    timing.serialByteWait = 100ms;
    struct Case {
        const char* shown;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"login: ", {"login: admin"}},
        {"# ", {"# ", "admin"}},
        {"/etc/config> ", {"/etc/config> ", "admin"}},
        {"#", {"#admin"}},
    };
    for (const Case& c : cases) {
        Console console(timing, c.shown, [](Conversation& d) {
            d.quiet(300ms);
            d.send("admin\r\n");
            d.holdUntilClosed();
        });
        ASSERT_TRUE(console.opened);
        for (const std::string& expected : c.lines) {
            ASSERT_TRUE(console.link.readLine()) << c.shown;
            EXPECT_EQ(console.link.currentLine, expected) << c.shown;
        }
    }
}

TEST_F(SerialLinkTest, ExpectReturnsThePositionOfTheFirstPatternFound) {
    Console c(timing, "Welcome\r\nBusyBox v1.0\r\nlogin: ", [](Conversation& d) {
        if (d.awaitRelease()) d.send("one\r\ntwo\r\n");
        d.holdUntilClosed();
    });
    ASSERT_TRUE(c.opened);
    EXPECT_EQ(c.link.expect(1, {"# ", "ogin:", "Busy"}), 3);
    EXPECT_EQ(c.link.currentLine, "BusyBox v1.0");
    EXPECT_EQ(c.link.expect(1, {"# ", "ogin:"}), 2);
    EXPECT_EQ(c.link.currentLine, "login: ");  // handed out after the silence budget
    c.device.release();
    EXPECT_EQ(c.link.expect(2, {"three"}), 0);
    EXPECT_EQ(c.link.currentLine, "");
    EXPECT_EQ(c.link.expect(0, {"one"}), 0);
}

// The answer comes after a silence that ends the first turn but inside the second.
TEST_F(SerialLinkTest, ExpectWaitsThroughItsTurns) {
    timing.serialByteWait = 100ms;
    for (const int turns : {1, 2}) {
        Console console(timing, "noise\r\n", [](Conversation& d) {
            d.quiet(900ms);  // one turn's silence is six byte waits
            d.send("# \r\n");
            d.holdUntilClosed();
        });
        ASSERT_TRUE(console.opened);
        EXPECT_EQ(console.link.expect(turns, {"# "}), turns == 2 ? 1 : 0) << turns;
    }
}

TEST_F(SerialLinkTest, WriteFailsWhenTheDeviceStopsTakingBytes) {
    openLink();
    // Far more than the terminal holds; the device never reads.
    EXPECT_FALSE(link.write(std::string(4 * 1024 * 1024, 'w')));
}

// The cable goes away while the link waits inside a line: the read fails instead of the line
// being returned after the silence budget.
TEST_F(SerialLinkTest, ACableThatGoesAwayFailsTheReadAtOnce) {
    timing.serialByteWait = 100ms;
    Console c(timing, "abc", [](Conversation& d) {
        d.quiet(200ms);
        d.close();
    });
    ASSERT_TRUE(c.opened);
    EXPECT_FALSE(c.link.readLine());
    EXPECT_FALSE(c.link.readNonEmptyLine());
    EXPECT_EQ(c.link.expect(5, {"abc"}), 0);
    EXPECT_FALSE(c.link.write("x"));
}

// A device that never stops talking cannot hold a read: lines are bounded, and every wait ends.
TEST_F(SerialLinkTest, EndlessOutputEndsEveryWait) {
    Console bytes(timing, "x", forever("x"));
    ASSERT_TRUE(bytes.opened);
    ASSERT_TRUE(bytes.link.readLine());
    EXPECT_EQ(bytes.link.currentLine.size(), SerialLink::kMaxLineLength);
    EXPECT_EQ(bytes.link.currentLine.find_first_not_of('x'), std::string::npos);
    EXPECT_EQ(bytes.link.expect(2, {"y"}), 0);

    Console empty(timing, "\r\n", forever("\r\n"));
    ASSERT_TRUE(empty.opened);
    EXPECT_FALSE(empty.link.readNonEmptyLine());

    Console busy(timing, "busy\r\n", forever("busy\r\n"));
    ASSERT_TRUE(busy.opened);
    EXPECT_EQ(busy.link.expect(3, {"# "}), 0);
}

// A console that trickles a byte now and then, inside every silence budget, holds no wait past
// its bound.
TEST_F(SerialLinkTest, TrickleEndsEveryWaitAtItsBound) {
    timing.waitBound = 400ms;
    Console trickle(timing, "z", [](Conversation& d) {
        while (d.send("z") && d.quiet(20ms)) {
        }
    });
    ASSERT_TRUE(trickle.opened);
    EXPECT_FALSE(trickle.link.readLine());
    EXPECT_TRUE(trickle.link.lastWaitCut());
    EXPECT_EQ(trickle.link.expect(2, {"#"}), 0);
    EXPECT_TRUE(trickle.link.lastWaitCut());
}

TEST(SerialBitRate, CommandLineSwitch) {
    struct Case {
        std::vector<const char*> argv;
        int rate;
    };
    const Case cases[] = {
        {{"lmtools"}, 38400},
        {{"lmtools", "-b", "1200"}, 1200},
        {{"lmtools", "-b 1200"}, 1200},
        {{"lmtools", "-b", "1200", "300"}, 300},
        {{"lmtools", "300", "-b", "1200"}, 1200},  // " 300" must follow the switch
        {{"lmtools", "-b", "300"}, 38400},
        {{"lmtools", "-b1200"}, 38400},
        {{"-b", "1200"}, 38400},  // the program's own name is not an argument
        {{"lmtools", "-b", "1200", "-q300"}, 1200},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const char* a : c.argv)
            shown += std::string(a) + "|";
        EXPECT_EQ(serialBitRateFromCommandLine(static_cast<int>(c.argv.size()), c.argv.data()), c.rate)
            << shown;
    }
    EXPECT_EQ(serialBitRateFromCommandLine(0, nullptr), 38400);
}

}  // namespace
}  // namespace lm
