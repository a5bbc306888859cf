#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "Simulator.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using test::ip;
using test::StreamReader;

// The PC's end of the serial cable.
UniqueFd openPort(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios raw{};
    if (fd && ::tcgetattr(fd.get(), &raw) == 0) {
        cfmakeraw(&raw);
        ::tcsetattr(fd.get(), TCSANOW, &raw);
    }
    return fd;
}

bool type(int fd, std::string_view text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

class SerialConsoleTest : public ::testing::Test {
protected:
    void start(SimulatorConfig config) {
        for (DeviceConfig& device : config.devices)
            device.product = "Lumetra/ZelvixXL-2";
        simulator_ = std::make_unique<Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    std::unique_ptr<Simulator> simulator_;
};

TEST_F(SerialConsoleTest, ConsoleLoginAndCommandsSurviveReopeningThePort) {
    SimulatorConfig config{demoDevices(2, ip("127.0.2.30"))};
    config.devices[0].shell.serial = true;
    config.devices[0].shell.password = "cable";
    start(std::move(config));
    EXPECT_EQ(simulator_->serialPath(1), "");
    const std::string path = simulator_->serialPath(0);
    ASSERT_FALSE(path.empty());
    {
        const UniqueFd port = openPort(path);
        ASSERT_TRUE(port) << path;
        StreamReader reader(port.get());
        // What the detection sends to wake the console.
        ASSERT_TRUE(type(port.get(), "\n\n"));
        EXPECT_EQ(reader.until("login: "), "\r\n\r\nzelvixxl login: ");
        EXPECT_EQ(reader.until("login: "), "\r\n\r\nzelvixxl login: ");
        type(port.get(), "admin\n");
        EXPECT_EQ(reader.until("Password: "), "admin\r\nPassword: ");
        type(port.get(), "vorna\n");
        EXPECT_EQ(reader.until("login: "), "\r\nLogin incorrect\r\n\r\nzelvixxl login: ");
        type(port.get(), "admin\n");
        ASSERT_TRUE(reader.until("Password: "));
        type(port.get(), "cable\n");
        ASSERT_TRUE(reader.until("> "));
        type(port.get(), "cat /etc/version\n");
        EXPECT_EQ(reader.until("> "), "cat /etc/version\r\nLumetra ZelvixXL version 4.2.1\r\n> ");
    }
    // The PC closed the port; the console session is still logged in when it comes back.
    const UniqueFd port = openPort(path);
    ASSERT_TRUE(port);
    StreamReader reader(port.get());
    type(port.get(), "cd /\n");
    EXPECT_EQ(reader.until("> "), "cd /\r\n> ");
    type(port.get(), "exit\n");
    EXPECT_EQ(reader.until("login: "), "exit\r\n\r\nzelvixxl login: ");
    EXPECT_EQ(simulator_->counters(0).logins, 1u);
}

TEST_F(SerialConsoleTest, ConsoleLeftInTheEditorAnswersOnlyToLeavingIt) {
    SimulatorConfig config{demoDevices(1, ip("127.0.2.33"))};
    config.devices[0].shell.serial = true;
    config.devices[0].shell.consoleInEditor = true;
    config.devices[0].shell.prompt = "# ";
    start(std::move(config));
    const UniqueFd port = openPort(simulator_->serialPath(0));
    ASSERT_TRUE(port);
    StreamReader reader(port.get());
    // The wake-up lines go into the editor, then escape and ":q!" leave it without saving.
    type(port.get(), "\n\n");
    type(port.get(), "\x1b:q!\n");
    const auto shown = reader.until("# ");
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, "\r\n\r\n:q!\r\n# ");
    EXPECT_FALSE(simulator_->fileText(0, "/var/tmp/boa.conf"));
    type(port.get(), "cat /etc/version\n");
    EXPECT_EQ(reader.until("# "), "cat /etc/version\r\nLumetra ZelvixXL version 4.2.1\r\n# ");
}

TEST_F(SerialConsoleTest, RebootShowsAFreshLoginOnceTheDeviceIsBack) {
    SimulatorConfig config{demoDevices(1, ip("127.0.2.35"))};
    config.devices[0].shell.serial = true;
    config.devices[0].shell.rebootDelayMs = 200;
    start(std::move(config));
    const UniqueFd port = openPort(simulator_->serialPath(0));
    ASSERT_TRUE(port);
    StreamReader reader(port.get());
    type(port.get(), "\nadmin\nvorna\n");
    ASSERT_TRUE(reader.until("> "));
    type(port.get(), "reboot\n");
    ASSERT_TRUE(reader.until("going down"));
    // The console comes back by itself with the boot text and the login prompt.
    const auto boot = reader.until("login: ");
    ASSERT_TRUE(boot);
    EXPECT_NE(boot->find("Linux version"), std::string::npos);
    EXPECT_TRUE(simulator_->deviceUp(0));
    type(port.get(), "admin\nvorna\n");
    EXPECT_TRUE(reader.until("> "));
}

}  // namespace
}  // namespace lm::sim
