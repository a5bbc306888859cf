#include <gtest/gtest.h>

#include <sys/socket.h>

#include <random>

#include "Simulator.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using test::ip;
using test::StreamReader;

const std::string kOpening = "\xff\xfd\x18\xff\xfb\x01\xff\xfb\x03";  // DO TERMINAL-TYPE, WILL ECHO, WILL SGA
// What the PC answers: it refuses every option.
const std::string kRefusals = "\xff\xfc\x18\xff\xfe\x01\xff\xfe\x03";

// One telnet connection and what it has read.
struct Connection {
    explicit Connection(UniqueFd socket) : fd(std::move(socket)) {}
    bool send(std::string_view text) const { return sendAll(fd.get(), text); }
    // The device's answer to one command line, echo included, up to its prompt.
    std::string run(std::string_view command) {
        send(std::string(command) + "\n");
        return reader.until("\r\n> ").value_or("(no prompt) " + reader.seen());
    }

    UniqueFd fd;
    StreamReader reader{fd.get()};
};

class TelnetTest : public ::testing::Test {
protected:
    // Device 0 is plain; the others are changed by the test before start().
    void SetUp() override {
        config_.devices = demoDevices(3, ip("127.0.2.10"));
        for (DeviceConfig& device : config_.devices)
            device.product = "Lumetra/ZelvixXL-2";
    }

    void start() {
        simulator_ = std::make_unique<Simulator>(config_);
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    std::unique_ptr<Connection> connect(std::size_t device) const {
        return std::make_unique<Connection>(
            test::connectTo(simulator_->devices()[device].address, simulator_->telnetPort()));
    }

    // Connects and logs in; the reader then stands after the prompt.
    std::unique_ptr<Connection> login(std::size_t device) const {
        auto c = connect(device);
        c->send(kRefusals + "admin\nvorna\n");
        EXPECT_TRUE(c->reader.until("> "));
        return c;
    }

    SimulatorConfig config_;
    std::unique_ptr<Simulator> simulator_;
};

TEST_F(TelnetTest, LoginConversationBytes) {
    start();
    const auto c = connect(0);
    ASSERT_TRUE(c->fd);
    EXPECT_EQ(c->reader.until("login: "), kOpening + "\r\nzelvixxl login: ");
    // The refusals need no answer; the login prompt had no line end after it.
    c->send(kRefusals + "admin\r\n");
    EXPECT_EQ(c->reader.until("Password: "), "admin\r\nPassword: ");
    c->send("vorna\n");
    const auto welcome = c->reader.until("> ");
    ASSERT_TRUE(welcome);
    EXPECT_TRUE(welcome->starts_with("\r\n")) << *welcome;
    EXPECT_EQ(welcome->find("login:"), std::string::npos);
    c->send("quit\n");
    EXPECT_TRUE(c->reader.closes());
    EXPECT_EQ(c->reader.seen(), "quit\r\n");
    EXPECT_EQ(simulator_->counters(0).logins, 1u);
}

TEST_F(TelnetTest, OptionsTheDeviceDidNotOfferAreRefusedAndDataBytes255Survive) {
    start();
    const auto c = login(0);
    // DO NAWS and WILL NEW-ENVIRON, a subnegotiation, then an escaped 255 inside a command line.
    c->send(std::string("\xff\xfd\x1f\xff\xfb\x27\xff\xfa\x18\x00xterm\xff\xf0", 17));
    EXPECT_EQ(c->reader.until("\xff\xfe\x27"), "\xff\xfc\x1f\xff\xfe\x27");
    EXPECT_EQ(c->run("echo a\xff\xff"
                     "b"),
              "echo a\xff\xff"
              "b\r\na\xff\xff"
              "b\r\n> ");
}

TEST_F(TelnetTest, SilentAndSlowFaults) {
    config_.devices[1].shell.faults.silent = true;
    config_.devices[2].shell.faults.slowOutput = true;
    start();

    // Silent: the connection is taken and nothing ever comes; it ends when the PC closes its side.
    const auto silent = connect(1);
    ASSERT_TRUE(silent->fd);
    silent->send("\n\nadmin\n");
    ::shutdown(silent->fd.get(), SHUT_WR);
    EXPECT_TRUE(silent->reader.closes());
    EXPECT_EQ(silent->reader.seen(), "");

    // Slow: the same bytes as a normal device, in many small pieces.
    const auto slow = connect(2);
    EXPECT_EQ(slow->reader.until("login: "), kOpening + "\r\n" + hostnameOf(config_.devices[2]) + " login: ");
    const std::size_t readsBefore = slow->reader.reads();
    slow->send("admin\n");
    EXPECT_EQ(slow->reader.until("Password: "), "admin\r\nPassword: ");
    EXPECT_GT(slow->reader.reads() - readsBefore, 1u);
}

TEST_F(TelnetTest, RebootDropsTheSessionAndTheDeviceComesBack) {
    config_.devices[0].shell.rebootDelayMs = 1500;
    start();
    const auto c = login(0);
    const auto bystander = login(0);
    c->send("/bin/cat > /var/tmp/gone\nx\n\x04");
    ASSERT_TRUE(c->reader.until("> "));
    ASSERT_TRUE(simulator_->fileText(0, "/var/tmp/gone"));

    c->send("reboot\n");
    EXPECT_TRUE(c->reader.closes());
    EXPECT_TRUE(bystander->reader.closes());  // every session of the device ends
    EXPECT_FALSE(simulator_->deviceUp(0));
    // Another device on the same port is not affected.
    EXPECT_EQ(login(1)->run("echo up"), "echo up\r\nup\r\n> ");

    ASSERT_TRUE(simulator_->waitUntilUp(0, Milliseconds(test::kWaitMs)));
    EXPECT_EQ(login(0)->run("ls /var/tmp"), "ls /var/tmp\r\n> ");  // RAM was lost
    EXPECT_EQ(simulator_->counters(0).reboots, 1u);
}

TEST_F(TelnetTest, GarbageFromThePcLeavesTheDeviceServing) {
    start();
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int connection = 0; connection < 3; ++connection) {
        const auto c = connect(0);
        ASSERT_TRUE(c->fd);
        std::string junk;
        for (int i = 0; i < 64 * 1024; ++i) {
            const int b = byte(random);
            junk += static_cast<char>(b == 'n' ? 'm' : b);  // nothing that could spell a network command
        }
        c->send(junk);
        ::shutdown(c->fd.get(), SHUT_WR);
        EXPECT_TRUE(c->reader.closes());
    }
    EXPECT_EQ(login(0)->run("echo alive"), "echo alive\r\nalive\r\n> ");
}

}  // namespace
}  // namespace lm::sim
