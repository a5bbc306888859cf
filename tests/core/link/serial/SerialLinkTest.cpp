#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PtyDevice.h"
#include "link/SerialLink.h"

namespace lm {
namespace {

using test::PtyDevice;

// Timing::fast() for most cases. The cases about silence inside a line use a longer byte wait so
// that a device's pause falls well inside, or well outside, the link's budget.
class SerialLinkTest : public ::testing::Test {
protected:
    SerialPortMap portsTo(const std::string& path) {
        SerialPortMap ports;
        ports.set(3, path);
        return ports;
    }

    void openLink() { ASSERT_EQ(link.Open("COM3"), 0); }
    // The link keeps its own copy of the timing: a slower byte wait means a new link.
    void useByteWait(Milliseconds wait) {
        timing.serialByteWait = wait;
        linkHolder.emplace(timing, portsTo(device.path()));
    }

    Timing timing = Timing::fast();
    PtyDevice device;
    std::optional<SerialLink> linkHolder{std::in_place, timing, portsTo(device.path())};
    SerialLink& link = *linkHolder;
};

TEST_F(SerialLinkTest, OpenAppliesRawEightNoneOneWithoutFlowControl) {
    openLink();
    termios t{};
    ASSERT_EQ(::tcgetattr(device.slaveFd(), &t), 0);
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
        link.Close();
        link.setBitRate(rate);
        openLink();
        ASSERT_EQ(::tcgetattr(device.slaveFd(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), speed) << rate;
    }
}

TEST_F(SerialLinkTest, OpenFailuresSayWhy) {
    struct Case {
        const char* name;
        std::string path;
        SerialLink::OpenError error;
    };
    const Case cases[] = {
        {"COM3", ::testing::TempDir() + "serial-missing-device", SerialLink::OpenError::NotFound},
        {"COM33", device.path(), SerialLink::OpenError::NotFound},
        {"COM3", "/", SerialLink::OpenError::Other},  // a directory
    };
    for (const Case& c : cases) {
        SerialLink other(timing, portsTo(c.path));
        EXPECT_EQ(other.Open(c.name), 1) << c.name << " " << c.path;
        EXPECT_EQ(other.lastOpenError(), c.error) << c.name << " " << c.path;
        EXPECT_FALSE(other.isOpen());
    }
}

TEST_F(SerialLinkTest, SettingsThatCannotBeAppliedLeaveThePortClosedAndFree) {
    link.setBitRate(12345);
    EXPECT_EQ(link.Open("COM3"), 1);
    EXPECT_EQ(link.lastOpenError(), SerialLink::OpenError::Other);
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.Write("x"));
    EXPECT_TRUE(link.Write(""));
    EXPECT_FALSE(link.ReadLine());
    EXPECT_FALSE(link.ReadNonEmptyLine());
    EXPECT_EQ(link.Expect(3, {"x"}), 0);

    SerialLink other(timing, portsTo(device.path()));
    EXPECT_EQ(other.Open("COM3"), 0);
}

TEST_F(SerialLinkTest, APortInUseIsRefusedUntilReleased) {
    openLink();
    SerialLink other(timing, portsTo(device.path()));
    EXPECT_EQ(other.Open("COM3"), 1);
    EXPECT_EQ(other.lastOpenError(), SerialLink::OpenError::InUse);
    link.Close();
    EXPECT_FALSE(link.isOpen());

    {  // another program's lock counts too
        const UniqueFd holder(::open(device.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(holder.valid());
        ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(other.Open("COM3"), 1);
        EXPECT_EQ(other.lastOpenError(), SerialLink::OpenError::InUse);
    }
    EXPECT_EQ(other.Open("COM3"), 0);
}

TEST_F(SerialLinkTest, LinesEndAtCarriageReturnOrLineFeed) {
    openLink();
    device.send(std::string("abc\r\nde\0f\nlast\r\n", 16));
    ASSERT_TRUE(link.ReadLine());
    EXPECT_EQ(link.currentLine, "abc");
    ASSERT_TRUE(link.ReadLine());  // the line feed of the pair
    EXPECT_EQ(link.currentLine, "");
    ASSERT_TRUE(link.ReadLine());
    EXPECT_EQ(link.currentLine, "de f");  // a zero byte arrives as a space
    ASSERT_TRUE(link.ReadNonEmptyLine());
    EXPECT_EQ(link.currentLine, "last");
    EXPECT_FALSE(link.ReadNonEmptyLine());  // skips the line feed, then silence on an empty line
    EXPECT_EQ(link.currentLine, "");
}

// The device shows a text, pauses for about three of the link's byte waits, then sends more.
// Only a shell prompt ends its line at the first silence.
TEST_F(SerialLinkTest, OnlyAPromptEndsALineAtTheFirstSilence) {
    useByteWait(Milliseconds(100));
    const Milliseconds pause{300};
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
        PtyDevice console;
        SerialLink reader(timing, portsTo(console.path()));
        ASSERT_EQ(reader.Open("COM3"), 0);
        console.send(c.shown);
        console.sendLater("admin\r\n", pause);
        for (const std::string& expected : c.lines) {
            ASSERT_TRUE(reader.ReadLine()) << c.shown;
            EXPECT_EQ(reader.currentLine, expected) << c.shown;
        }
    }
}

TEST_F(SerialLinkTest, ExpectReturnsThePositionOfTheFirstPatternFound) {
    openLink();
    device.send("Welcome\r\nBusyBox v1.0\r\nlogin: ");
    EXPECT_EQ(link.Expect(1, {"# ", "ogin:", "Busy"}), 3);
    EXPECT_EQ(link.currentLine, "BusyBox v1.0");
    EXPECT_EQ(link.Expect(1, {"# ", "ogin:"}), 2);
    EXPECT_EQ(link.currentLine, "login: ");  // handed out after the silence budget
    device.send("one\r\ntwo\r\n");
    EXPECT_EQ(link.Expect(2, {"three"}), 0);
    EXPECT_EQ(link.currentLine, "");
    EXPECT_EQ(link.Expect(0, {"one"}), 0);
}

// The answer comes after a silence that ends the first turn but inside the second.
TEST_F(SerialLinkTest, ExpectWaitsThroughItsTurns) {
    useByteWait(Milliseconds(100));
    const Milliseconds late{900};  // one turn's silence is six byte waits
    for (const int turns : {1, 2}) {
        PtyDevice console;
        SerialLink reader(timing, portsTo(console.path()));
        ASSERT_EQ(reader.Open("COM3"), 0);
        console.send("noise\r\n");
        console.sendLater("# \r\n", late);
        EXPECT_EQ(reader.Expect(turns, {"# "}), turns == 2 ? 1 : 0) << turns;
    }
}

TEST_F(SerialLinkTest, WriteSendsEveryByteInOrder) {
    openLink();
    const std::string text = std::string("admin\n\x1b:q!\n\x04", 12) + std::string(1, '\xff');
    EXPECT_TRUE(link.Write(text));
    EXPECT_TRUE(link.Write(""));
    EXPECT_EQ(device.receive(text.size()), text);
}

TEST_F(SerialLinkTest, WriteFailsWhenTheDeviceStopsTakingBytes) {
    openLink();
    // Far more than the pty holds; the device never reads.
    EXPECT_FALSE(link.Write(std::string(4 * 1024 * 1024, 'w')));
}

// The cable goes away while the link waits inside a line: the read fails instead of the line
// being returned after the silence budget.
TEST_F(SerialLinkTest, ACableThatGoesAwayFailsTheReadAtOnce) {
    useByteWait(Milliseconds(100));
    openLink();
    device.send("abc");
    device.hangUpLater(Milliseconds(200));
    EXPECT_FALSE(link.ReadLine());
    EXPECT_FALSE(link.ReadNonEmptyLine());
    EXPECT_EQ(link.Expect(5, {"abc"}), 0);
    EXPECT_FALSE(link.Write("x"));
}

TEST_F(SerialLinkTest, EndlessBytesWithoutLineEndMakeBoundedLines) {
    openLink();
    device.startFlood("x");
    ASSERT_TRUE(link.ReadLine());
    EXPECT_EQ(link.currentLine.size(), SerialLink::kMaxLineLength);
    EXPECT_EQ(link.currentLine.find_first_not_of('x'), std::string::npos);
    EXPECT_EQ(link.Expect(2, {"y"}), 0);
    device.stopFlood();
}

TEST_F(SerialLinkTest, EndlessLinesEndEveryWait) {
    openLink();
    device.startFlood("\r\n");
    EXPECT_FALSE(link.ReadNonEmptyLine());
    device.stopFlood();
    device.startFlood("busy\r\n");
    EXPECT_EQ(link.Expect(3, {"# "}), 0);
    device.stopFlood();
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
