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

// Devices with a serial console on the first one.
std::unique_ptr<Simulator> start(const char* firstAddress, std::size_t count, const ShellBehaviour& shell) {
    SimulatorConfig config{demoDevices(count, ip(firstAddress))};
    for (DeviceConfig& device : config.devices)
        device.product = "Lumetra/ZelvixXL-2";
    config.devices[0].shell = shell;
    config.devices[0].shell.serial = true;
    auto simulator = std::make_unique<Simulator>(std::move(config));
    std::string error;
    EXPECT_TRUE(simulator->start(&error)) << error;
    return simulator;
}

TEST(SerialConsoleTest, ConsoleLoginAndCommandsSurviveReopeningThePort) {
    ShellBehaviour shell;
    shell.password = "cable";
    const auto simulator = start("127.0.2.30", 2, shell);
    EXPECT_EQ(simulator->serialPath(1), "");
    const std::string path = simulator->serialPath(0);
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
    // Leaving the console's shell shows the login again.
    type(port.get(), "exit\n");
    EXPECT_EQ(reader.until("login: "), "exit\r\n\r\nzelvixxl login: ");
    EXPECT_EQ(simulator->counters(0).logins, 1u);
}

TEST(SerialConsoleTest, RebootShowsAFreshLoginOnceTheDeviceIsBack) {
    ShellBehaviour shell;
    shell.rebootDelayMs = 200;
    const auto simulator = start("127.0.2.35", 1, shell);
    const UniqueFd port = openPort(simulator->serialPath(0));
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
    EXPECT_TRUE(simulator->deviceUp(0));
    type(port.get(), "admin\nvorna\n");
    EXPECT_TRUE(reader.until("> "));
}

}  // namespace
}  // namespace lm::sim
