#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>

#include "Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::sim {
namespace {

using test::Conversation;

// The PC's end of the serial cable.
Conversation openPort(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios raw{};
    if (fd && ::tcgetattr(fd.get(), &raw) == 0) {
        cfmakeraw(&raw);
        ::tcsetattr(fd.get(), TCSANOW, &raw);
    }
    return Conversation(std::move(fd));
}

// Devices with a serial console on the first one.
std::unique_ptr<Simulator> start(const char* firstAddress, std::size_t count, const ShellBehaviour& shell) {
    SimulatorConfig config{demoDevices(count, *parseIpv4(firstAddress))};
    for (DeviceConfig& device : config.devices)
        device.product = "Lumetra/ZelvixXL-2";
    config.devices[0].shell = shell;
    config.devices[0].shell.serial = true;
    auto simulator = std::make_unique<Simulator>(std::move(config));
    std::string error;
    EXPECT_TRUE(simulator->start(&error)) << error;
    return simulator;
}

// The console stays logged in while the PC closes and reopens the port; leaving its shell, or a
// reboot, shows a fresh login.
TEST(SerialConsoleTest, SessionOutlivesThePortAndEndsWithExitOrReboot) {
    ShellBehaviour shell;
    shell.rebootDelayMs = 200;
    const auto simulator = start("127.0.2.30", 2, shell);
    EXPECT_EQ(simulator->serialPath(1), "");
    const std::string path = simulator->serialPath(0);
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
        ASSERT_TRUE(port.until("> "));
    }
    auto port = openPort(path);
    ASSERT_TRUE(port.valid());
    port.send("cd /\n");
    EXPECT_EQ(port.until("> "), "cd /\r\n> ");
    port.send("exit\n");
    EXPECT_EQ(port.until("login: "), "exit\r\n\r\nzelvixxl login: ");
    EXPECT_EQ(simulator->counters(0).logins, 1u);

    port.send("admin\nvorna\nreboot\n");
    ASSERT_TRUE(port.until("going down"));
    // The console comes back by itself with the boot text and the login prompt.
    const auto boot = port.until("login: ");
    ASSERT_TRUE(boot);
    EXPECT_NE(boot->find("Linux version"), std::string::npos);
    EXPECT_TRUE(simulator->deviceUp(0));
    port.send("admin\nvorna\n");
    EXPECT_TRUE(port.until("> "));
}

}  // namespace
}  // namespace lm::sim
