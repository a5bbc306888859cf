// The device's shell over telnet and over its serial console.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>

#include <random>

#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::sim {
namespace {

using test::Conversation;

const std::string kOpening = "\xff\xfd\x18\xff\xfb\x01\xff\xfb\x03";  // DO TERMINAL-TYPE, WILL ECHO, WILL SGA
// What the PC answers: it refuses every option.
const std::string kRefusals = "\xff\xfc\x18\xff\xfe\x01\xff\xfe\x03";

// The device's answer to one command line, echo included, up to its prompt.
std::string run(Conversation& c, std::string_view command) {
    c.send(std::string(command) + "\n");
    return c.until("\r\n> ").value_or("(no prompt) " + c.unread());
}

class ConsoleTest : public ::testing::Test {
protected:
    // Three devices, each plain until the test changes it before start().
    void SetUp() override {
        config_.devices = demoDevices(3, *parseIpv4("127.0.2.10"));
        for (DeviceConfig& device : config_.devices)
            device.product = "Lumetra/ZelvixXL-2";
    }

    void start() {
        simulator_ = std::make_unique<Simulator>(config_);
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    // The PC's end of the serial cable.
    static Conversation openPort(const std::string& path) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        termios raw{};
        if (fd && ::tcgetattr(fd.get(), &raw) == 0) {
            cfmakeraw(&raw);
            ::tcsetattr(fd.get(), TCSANOW, &raw);
        }
        return Conversation(std::move(fd));
    }

    // To the device where it is now.
    Conversation connect(std::size_t device) const {
        return Conversation::connect(simulator_->address(device).value_or(0), simulator_->telnetPort());
    }

    // Connects and logs in; what follows the prompt is still to be read.
    Conversation login(std::size_t device) const {
        auto c = connect(device);
        c.send(kRefusals + "admin\nvorna\n");
        EXPECT_TRUE(c.until("> "));
        return c;
    }

    SimulatorConfig config_;
    std::unique_ptr<Simulator> simulator_;
};

// Options the device did not offer are refused, a subnegotiation is skipped and data bytes 255 survive.
TEST_F(ConsoleTest, LoginAndOptionBytes) {
    start();
    auto c = connect(0);
    ASSERT_TRUE(c.valid());
    EXPECT_EQ(c.until("login: "), kOpening + "\r\nzelvixxl login: ");
    // The refusals need no answer; the login prompt had no line end after it.
    c.send(kRefusals + "admin\r\n");
    EXPECT_EQ(c.until("Password: "), "admin\r\nPassword: ");
    c.send("vorna\n");
    ASSERT_TRUE(c.until("\r\n> "));
    // DO NAWS and WILL NEW-ENVIRON, a subnegotiation, then an escaped 255 inside a command line.
    c.send(std::string("\xff\xfd\x1f\xff\xfb\x27\xff\xfa\x18\x00xterm\xff\xf0", 17));
    EXPECT_EQ(c.until("\xff\xfe\x27"), "\xff\xfc\x1f\xff\xfe\x27");
    EXPECT_EQ(run(c,
                  "echo a\xff\xff"
                  "b"),
              "echo a\xff\xff"
              "b\r\na\xff\xff"
              "b\r\n> ");
    c.send("quit\n");
    EXPECT_TRUE(c.holdUntilClosed());
    EXPECT_EQ(c.unread(), "quit\r\n");
    EXPECT_EQ(simulator_->counters(0).logins, 1u);
}

TEST_F(ConsoleTest, SilentAndSlowFaultsAndGarbageFromThePc) {
    config_.devices[1].shell.faults.silent = true;
    config_.devices[2].shell.faults.slowOutput = true;
    start();

    // Silent: the connection is taken and nothing ever comes; it ends when the PC closes its side.
    auto silent = connect(1);
    ASSERT_TRUE(silent.valid());
    silent.send("\n\nadmin\n");
    ::shutdown(silent.fd(), SHUT_WR);
    EXPECT_TRUE(silent.holdUntilClosed());
    EXPECT_EQ(silent.unread(), "");

    // Slow: the same bytes as a normal device, in many small pieces.
    auto slow = connect(2);
    EXPECT_EQ(slow.until("login: "), kOpening + "\r\n" + hostnameOf(config_.devices[2]) + " login: ");
    const std::size_t readsBefore = slow.reads();
    slow.send("admin\n");
    EXPECT_EQ(slow.until("Password: "), "admin\r\nPassword: ");
    EXPECT_GT(slow.reads() - readsBefore, 1u);

    // Garbage from the PC leaves the device serving.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int connection = 0; connection < 3; ++connection) {
        auto c = connect(0);
        ASSERT_TRUE(c.valid());
        std::string junk;
        for (int i = 0; i < 64 * 1024; ++i) {
            const int b = byte(random);
            junk += static_cast<char>(b == 'n' ? 'm' : b);  // nothing that could spell a network command
        }
        c.send(junk);
        ::shutdown(c.fd(), SHUT_WR);
        EXPECT_TRUE(c.holdUntilClosed());
    }
    auto c = login(0);
    EXPECT_EQ(run(c, "echo alive"), "echo alive\r\nalive\r\n> ");
}

class RebootTest : public ConsoleTest, public testing::WithParamInterface<SocketMode> {};

// A reboot ends every session of the device at once, keeps it away for its delay and brings it back
// with its RAM emptied, on the static address its saved ifcfg-eth0 names: telnet, discovery and the
// ARP row move. DHCP, or an address this machine does not have, keeps the old one. The same with
// sockets of each device's own and shared by all.
TEST_P(RebootTest, DropsSessionsAndComesBackOnTheSavedStaticAddress) {
    for (DeviceConfig& device : config_.devices)
        device.shell.rebootDelayMs = 300;
    config_.sockets = GetParam();
    start();
    const Ipv4 moved = *parseIpv4("127.0.2.99");
    const std::vector<std::pair<std::string, Ipv4>> cases{
        {"DEVICE=eth0\nBOOTPROTO=none\nIPADDR=127.0.2.99\nNETMASK=255.255.255.0\n", moved},
        {"DEVICE=eth0\nBOOTPROTO=dhcp\nIPADDR=127.0.2.98\n", config_.devices[1].address},
        {"BOOTPROTO=static\nIPADDR=192.0.2.1\n", config_.devices[2].address},  // not this machine's
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [ifcfg, after] = cases[i];
        auto c = login(i);
        auto bystander = login(i);
        c.send(
            "/bin/cat > /var/tmp/ifcfg-eth0\n" + ifcfg + "\x04" +
            "mv /var/tmp/ifcfg-eth0 /etc/config/\nkillall -USR1 flatfsd\n/bin/cat > /var/tmp/options\nx\n\x04"
            "reboot\n");
        EXPECT_TRUE(c.holdUntilClosed());
        EXPECT_TRUE(bystander.holdUntilClosed());
        // Another device on the same port is not affected.
        auto other = login((i + 1) % cases.size());
        EXPECT_EQ(run(other, "echo up"), "echo up\r\nup\r\n> ");
        ASSERT_TRUE(simulator_->waitUntilUp(i, test::kStepLimit));
        EXPECT_EQ(simulator_->address(i), after) << ifcfg;
        auto back = login(i);
        EXPECT_EQ(run(back, "ls /var/tmp"), "ls /var/tmp\r\n> ");
        EXPECT_NE(run(back, "ifconfig").find("inet addr:" + dotted(after) + " "), std::string::npos);
        EXPECT_EQ(simulator_->counters(i).reboots, 1u);
    }
    // Nothing is left on the old address: no socket there, or a shared one that resets at once.
    auto old = Conversation::connect(config_.devices[0].address, simulator_->telnetPort());
    EXPECT_TRUE(GetParam() == SocketMode::Shared ? old.holdUntilClosed() : !old.valid());
    auto probe = Conversation::udp();
    probe.talkTo(simulator_->discoveryPort(), moved);
    EXPECT_EQ(probe.send("") ? probe.receive() : std::nullopt, replyOf(config_.devices[0]));
    EXPECT_EQ(probe.sender(), moved);
    EXPECT_NE(simulator_->arpTableText().find(dotted(moved) + " "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Sockets, RebootTest, testing::Values(SocketMode::PerAddress, SocketMode::Shared),
                         [](const auto& mode) {
                             return mode.param == SocketMode::Shared ? "Shared" : "PerAddress";
                         });

// The console stays logged in while the PC closes and reopens the port; leaving its shell, or a
// reboot, shows a fresh login. Firmware 4.2.1 opens a root shell there.
TEST_F(ConsoleTest, SerialSessionOutlivesThePortAndEndsWithExitOrReboot) {
    config_.devices[0].shell.serial = true;
    config_.devices[0].shell.rebootDelayMs = 200;
    start();
    EXPECT_EQ(simulator_->serialPath(1), "");
    const std::string path = simulator_->serialPath(0);
    {
        auto port = openPort(path);
        ASSERT_TRUE(port.valid()) << path;
        // What the detection sends to wake the console.
        ASSERT_TRUE(port.send("\n\n"));
        EXPECT_EQ(port.until("login: "), "\r\n\r\nzelvixxl login: ");
        EXPECT_EQ(port.until("login: "), "\r\n\r\nzelvixxl login: ");
        port.send("admin\n");
        EXPECT_EQ(port.until("Password: "), "admin\r\nPassword: ");
        port.send("vorna\n");
        ASSERT_TRUE(port.until("# "));
    }
    auto port = openPort(path);
    ASSERT_TRUE(port.valid());
    port.send("cd /\n");
    EXPECT_EQ(port.until("# "), "cd /\r\n# ");
    port.send("exit\n");
    EXPECT_EQ(port.until("login: "), "exit\r\n\r\nzelvixxl login: ");
    EXPECT_EQ(simulator_->counters(0).logins, 1u);

    // The console comes back by itself with the boot text and the login prompt. (Where a reboot
    // leaves the address is the telnet test's concern.)
    port.send("admin\nvorna\nreboot\n");
    ASSERT_TRUE(port.until("going down"));
    const auto boot = port.until("login: ");
    ASSERT_TRUE(boot);
    EXPECT_NE(boot->find("Linux version"), std::string::npos);
    EXPECT_TRUE(simulator_->deviceUp(0));
    port.send("admin\nvorna\n");
    EXPECT_TRUE(port.until("# "));
}

}  // namespace
}  // namespace lm::sim
