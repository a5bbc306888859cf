#include <gtest/gtest.h>

#include <sys/socket.h>

#include <random>

#include "Simulator.h"
#include "devsim/TestClient.h"
#include "platform/Socket.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;
using test::ip;
using test::StreamReader;

const std::string kOpening = "\xff\xfd\x18\xff\xfb\x01\xff\xfb\x03";  // DO TERMINAL-TYPE, WILL ECHO, WILL SGA
// What the PC answers: it refuses every option.
const std::string kRefusals = "\xff\xfc\x18\xff\xfe\x01\xff\xfe\x03";

bool sendText(int fd, std::string_view text) {
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

class TelnetTest : public ::testing::Test {
protected:
    // Device 0 is plain; the others are changed by the test before start().
    void SetUp() override {
        config_.devices = demoDevices(4, ip("127.0.2.10"));
        for (DeviceConfig& device : config_.devices)
            device.product = "Lumetra/ZelvixXL-2";
    }

    void start() {
        simulator_ = std::make_unique<Simulator>(config_);
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    UniqueFd connect(std::size_t device) {
        return test::connectTo(simulator_->devices()[device].address, simulator_->telnetPort());
    }

    // Connects and logs in; the reader then stands after the prompt.
    UniqueFd login(std::size_t device, StreamReader*& reader) {
        UniqueFd fd = connect(device);
        readers_.push_back(std::make_unique<StreamReader>(fd.get()));
        reader = readers_.back().get();
        EXPECT_TRUE(reader->until("login: "));
        sendText(fd.get(), kRefusals + "admin\n");
        EXPECT_TRUE(reader->until("Password: "));
        sendText(fd.get(), config_.devices[device].shell.password + "\n");
        EXPECT_TRUE(reader->until(config_.devices[device].shell.prompt));
        return fd;
    }

    // The device's answer to one command line, echo included, up to its prompt.
    std::string run(int fd, StreamReader& reader, std::string_view command, std::string_view prompt = "> ") {
        sendText(fd, std::string(command) + "\n");
        return reader.until(std::string("\r\n") + std::string(prompt))
            .value_or("(no prompt) " + reader.seen());
    }

    SimulatorConfig config_;
    std::unique_ptr<Simulator> simulator_;
    std::vector<std::unique_ptr<StreamReader>> readers_;
};

TEST_F(TelnetTest, LoginConversationBytes) {
    start();
    const UniqueFd fd = connect(0);
    ASSERT_TRUE(fd);
    StreamReader reader(fd.get());
    EXPECT_EQ(reader.until("login: "), kOpening + "\r\nzelvixxl login: ");
    // The refusals need no answer; the login prompt had no line end after it.
    sendText(fd.get(), kRefusals + "admin\r\n");
    EXPECT_EQ(reader.until("Password: "), "admin\r\nPassword: ");
    sendText(fd.get(), "wrong\r\n");
    EXPECT_EQ(reader.until("login: "), "\r\nLogin incorrect\r\n\r\nzelvixxl login: ");
    sendText(fd.get(), "admin\n");
    EXPECT_EQ(reader.until("Password: "), "admin\r\nPassword: ");
    sendText(fd.get(), "vorna\n");
    const auto welcome = reader.until("> ");
    ASSERT_TRUE(welcome);
    EXPECT_TRUE(welcome->starts_with("\r\n")) << *welcome;
    EXPECT_EQ(welcome->find("login:"), std::string::npos);
    // A command: echo, output lines, and the prompt without a line end.
    sendText(fd.get(), "cat /etc/version\n");
    EXPECT_EQ(reader.until("> "), "cat /etc/version\r\nLumetra ZelvixXL version 4.2.1\r\n> ");
    sendText(fd.get(), "quit\n");
    EXPECT_TRUE(reader.closes());
    EXPECT_EQ(reader.seen(), "quit\r\n");
    const DeviceCounters counters = simulator_->counters(0);
    EXPECT_EQ(counters.logins, 1u);
    EXPECT_EQ(counters.refusedLogins, 1u);
}

TEST_F(TelnetTest, OptionsTheDeviceDidNotOfferAreRefusedAndDataBytes255Survive) {
    start();
    StreamReader* reader = nullptr;
    const UniqueFd fd = login(0, reader);
    // DO NAWS and WILL NEW-ENVIRON, a subnegotiation, then an escaped 255 inside a command line.
    sendText(fd.get(), std::string("\xff\xfd\x1f\xff\xfb\x27\xff\xfa\x18\x00xterm\xff\xf0", 17));
    EXPECT_EQ(reader->until("\xff\xfe\x27"), "\xff\xfc\x1f\xff\xfe\x27");
    sendText(fd.get(),
             "echo a\xff\xff"
             "b\n");
    EXPECT_EQ(reader->until("> "),
              "echo a\xff\xff"
              "b\r\na\xff\xff"
              "b\r\n> ")
        << reader->seen();
}

TEST_F(TelnetTest, ShellOperationsOverTheNetwork) {
    config_.devices[0].shell.configDepend = true;
    config_.devices[1].shell.faults.configClearDenied = true;
    start();
    StreamReader* reader = nullptr;
    const UniqueFd fd = login(0, reader);
    EXPECT_EQ(run(fd.get(), *reader, "cat /etc/config/missing"),
              "cat /etc/config/missing\r\ncat: /etc/config/missing: Invalid argument\r\n> ");
    EXPECT_EQ(run(fd.get(), *reader, "bogus -x"), "bogus -x\r\nbogus -x: Bad command\r\n> ");
    EXPECT_EQ(run(fd.get(), *reader, "config clear"), "config clear\r\nConfiguration cleared\r\n> ");
    EXPECT_NE(run(fd.get(), *reader, "config").find("depend="), std::string::npos);

    // Both ways of writing a file, then the listing the PC checks.
    sendText(fd.get(), "vi /var/tmp/network\n");
    EXPECT_TRUE(reader->until("No such file"));
    sendText(fd.get(), "i");
    sendText(fd.get(), "NETWORKING=yes\n");
    sendText(fd.get(), "HOSTNAME=lobby\n");
    sendText(fd.get(), "\x1b:wq\n");
    EXPECT_TRUE(reader->until("/var/tmp/network\" 2L, 30C written\r\n> "));
    sendText(fd.get(), "/bin/cat > /var/tmp/boa.conf\n");
    EXPECT_TRUE(reader->until("/bin/cat > /var/tmp/boa.conf\r\n"));
    sendText(fd.get(), "Port 8080\n");
    sendText(fd.get(), std::string(1, '\x04'));
    EXPECT_EQ(reader->until("> "), "Port 8080\r\n> ");
    EXPECT_EQ(run(fd.get(), *reader, "ls /var/tmp/"), "ls /var/tmp/\r\nboa.conf\r\nnetwork\r\n> ");
    EXPECT_EQ(run(fd.get(), *reader, "cat /var/tmp/network"),
              "cat /var/tmp/network\r\nNETWORKING=yes\r\nHOSTNAME=lobby\r\n> ");
    EXPECT_EQ(simulator_->fileText(0, "/var/tmp/boa.conf"), "Port 8080\n");
    const auto writes = simulator_->fileWrites(0);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], (FileWrite{"/var/tmp/network", "NETWORKING=yes\nHOSTNAME=lobby\n", "vi"}));
    EXPECT_EQ(writes[1], (FileWrite{"/var/tmp/boa.conf", "Port 8080\n", "cat"}));

    EXPECT_EQ(run(fd.get(), *reader, "/bin/nsh", "# "), "/bin/nsh\r\n# ");
    EXPECT_EQ(run(fd.get(), *reader, "hwclock -w", "# "), "hwclock -w\r\n# ");

    StreamReader* denied = nullptr;
    const UniqueFd other = login(1, denied);
    EXPECT_EQ(run(other.get(), *denied, "config clear"), "config clear\r\nconfig: Permission denied\r\n> ");
    EXPECT_EQ(run(other.get(), *denied, "config"), "config\r\nconfig: Permission denied\r\n> ");
    EXPECT_EQ(simulator_->commands(1), (std::vector<std::string>{"config clear", "config"}));
}

TEST_F(TelnetTest, FaultSwitches) {
    config_.devices[1].shell.faults.silent = true;
    config_.devices[2].shell.faults.refusePassword = true;
    config_.devices[3].shell.faults.slowOutput = true;
    start();

    // Silent: the connection is taken and nothing ever comes; it ends when the PC closes its side.
    UniqueFd silent = connect(1);
    ASSERT_TRUE(silent);
    sendText(silent.get(), "\n\nadmin\n");
    ::shutdown(silent.get(), SHUT_WR);
    StreamReader quiet(silent.get());
    EXPECT_TRUE(quiet.closes());
    EXPECT_EQ(quiet.seen(), "");

    UniqueFd refused = connect(2);
    StreamReader refusal(refused.get());
    ASSERT_TRUE(refusal.until("login: "));
    sendText(refused.get(), "admin\n");
    ASSERT_TRUE(refusal.until("Password: "));
    sendText(refused.get(), "vorna\n");
    EXPECT_EQ(refusal.until("login: "), "\r\nLogin incorrect\r\n\r\nzelvixxl login: ");

    // Slow: the same bytes as a normal device, in many small pieces.
    UniqueFd slow = connect(3);
    StreamReader slowReader(slow.get());
    const auto opening = slowReader.until("login: ");
    ASSERT_TRUE(opening);
    EXPECT_EQ(*opening, kOpening + "\r\n" + hostnameOf(config_.devices[3]) + " login: ");
    sendText(slow.get(), "admin\n");
    std::size_t reads = 0;
    std::string password;
    while (password.find("Password: ") == std::string::npos) {
        char buffer[256];
        const ssize_t got = ::recv(slow.get(), buffer, sizeof buffer, 0);
        ASSERT_GT(got, 0);
        password.append(buffer, static_cast<std::size_t>(got));
        ++reads;
    }
    EXPECT_EQ(password, "admin\r\nPassword: ");
    EXPECT_GT(reads, 1u);
}

TEST_F(TelnetTest, RebootDropsTheSessionAndTheDeviceComesBack) {
    config_.devices[0].shell.rebootDelayMs = 1500;
    start();
    StreamReader* reader = nullptr;
    const UniqueFd fd = login(0, reader);
    StreamReader* bystanderReader = nullptr;
    const UniqueFd bystander = login(0, bystanderReader);
    sendText(fd.get(), "/bin/cat > /var/tmp/gone\nx\n\x04");
    ASSERT_TRUE(reader->until("> "));
    ASSERT_TRUE(simulator_->fileText(0, "/var/tmp/gone"));

    sendText(fd.get(), "reboot\n");
    EXPECT_TRUE(reader->closes());
    EXPECT_TRUE(bystanderReader->closes());  // every session of the device ends
    // While it restarts, a new connection is reset without a login prompt.
    const UniqueFd early = connect(0);
    if (early) {
        StreamReader earlyReader(early.get());
        EXPECT_TRUE(earlyReader.closes());
        EXPECT_EQ(earlyReader.seen().find("login:"), std::string::npos);
    }
    EXPECT_FALSE(simulator_->deviceUp(0));
    // Probes go unanswered meanwhile: one to the restarting device, then one to a neighbour. The one
    // event loop takes them in that order, so once the neighbour's reply is here the first was seen.
    auto probe = UdpSocket::open();
    ASSERT_TRUE(probe);
    ASSERT_TRUE(probe->sendTo(config_.devices[0].address, simulator_->discoveryPort(), std::string_view()));
    ASSERT_TRUE(probe->sendTo(config_.devices[1].address, simulator_->discoveryPort(), std::string_view()));
    const int probeFd = probe->fd();
    ASSERT_TRUE(waitReadable(std::span(&probeFd, 1), test::kWaitMs).value_or(std::vector<bool>{false})[0]);
    const auto reply = probe->receive(65536);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->from, config_.devices[1].address);
    EXPECT_EQ(simulator_->counters(0).probesReceived, 1u);
    EXPECT_EQ(simulator_->counters(0).repliesSent, 0u);
    // Another device is not affected.
    StreamReader* neighbourReader = nullptr;
    const UniqueFd neighbour = login(1, neighbourReader);
    EXPECT_EQ(run(neighbour.get(), *neighbourReader, "echo up"), "echo up\r\nup\r\n> ");

    ASSERT_TRUE(simulator_->waitUntilUp(0, Milliseconds(test::kWaitMs)));
    StreamReader* after = nullptr;
    const UniqueFd again = login(0, after);
    EXPECT_EQ(run(again.get(), *after, "ls /var/tmp"), "ls /var/tmp\r\n> ");  // RAM was lost
    EXPECT_EQ(simulator_->counters(0).reboots, 1u);
}

TEST_F(TelnetTest, GarbageFromThePcLeavesTheDeviceServing) {
    start();
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int connection = 0; connection < 3; ++connection) {
        const UniqueFd fd = connect(0);
        ASSERT_TRUE(fd);
        std::string junk;
        for (int i = 0; i < 64 * 1024; ++i) {
            const int b = byte(random);
            junk += static_cast<char>(b == 'n' ? 'm' : b);  // nothing that could spell a network command
        }
        sendText(fd.get(), junk);
        ::shutdown(fd.get(), SHUT_WR);
        StreamReader reader(fd.get());
        EXPECT_TRUE(reader.closes());
    }
    StreamReader* reader = nullptr;
    const UniqueFd fd = login(0, reader);
    EXPECT_EQ(run(fd.get(), *reader, "echo alive"), "echo alive\r\nalive\r\n> ");
}

}  // namespace
}  // namespace lm::sim
