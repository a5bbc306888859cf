// The shell operations over the serial console against simulated devices, and cat writes over both
// links. (Commands and the other writes are the settings writer's and the CLI's tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/link/DeviceSession.h"
#include "support/SimulatedDevice.h"

namespace lm {
namespace {

class DeviceSessionSimulatorTest : public test::SimulatedDeviceTest {
protected:
    static sim::DeviceConfig device(const char* address) {
        sim::DeviceConfig d;
        d.mac = *sim::parseMac("02:4C:55:C8:00:21");
        d.address = *parseIpv4(address);
        return d;
    }
    // Starts d and logs in to it over the serial console.
    bool loggedInOnConsole(const sim::DeviceConfig& d) {
        start(d);
        session->setConnectionIsNetwork(false);
        return session->serial().open("COM1") == 0 &&
               session->loginSerial(nullptr) == SerialLoginResult::LoggedIn;
    }
};

TEST_F(DeviceSessionSimulatorTest, SerialConsoleLoginClockAndNsh) {
    auto d = device("127.0.71.12");
    d.shell.serial = true;
    d.shell.consoleInEditor = true;  // a console left inside the editor by an earlier run
    d.shell.prompt = "# ";
    ASSERT_TRUE(loggedInOnConsole(d));

    DeviceSession shell(*session);
    EXPECT_EQ(shell.setClock(3), Outcome::Ok);
    const auto commands = simulator->commands(0);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2].rfind("date -s \"", 0), 0u);
    EXPECT_EQ(commands.back(), "hwclock -w");
    bool root = false;
    session->setFirmware({2, 0, 0});
    EXPECT_EQ(shell.enterNsh(root), Outcome::Ok);  // the serial form decides without a command from 2.x
    EXPECT_TRUE(root);
    shell.logout(false);
    EXPECT_FALSE(session->serial().isOpen());
}

// A shell line on the console passes the same rules as one over the network: one that would run
// a second command is refused and nothing of it is typed; one that passes goes out with its end.
TEST_F(DeviceSessionSimulatorTest, ConsoleLineIsCheckedAndSent) {
    auto d = device("127.0.71.15");
    d.shell.serial = true;
    d.shell.prompt = "# ";
    ASSERT_TRUE(loggedInOnConsole(d));

    DeviceSession shell(*session);
    const std::size_t before = simulator->commands(0).size();
    EXPECT_FALSE(shell.sendLine("cd /\nreboot"));
    EXPECT_NE(shell.deviceMessage().find("control character"), std::string::npos) << shell.deviceMessage();
    ASSERT_TRUE(shell.sendLine("cd /tmp"));
    EXPECT_EQ(shell.expect(5, {"# "}), 1);
    const auto commands = simulator->commands(0);
    EXPECT_EQ(std::vector(commands.begin() + static_cast<std::ptrdiff_t>(before), commands.end()),
              std::vector<std::string>{"cd /tmp"});
}

// The console login sends the password the user gave; a refused one, with nobody to ask, fails.
TEST_F(DeviceSessionSimulatorTest, ConsoleLoginUsesTheGivenPassword) {
    for (const bool refuse : {false, true}) {
        auto d = device("127.0.71.13");
        d.shell.serial = true;
        d.shell.password = "secret";
        d.shell.faults.refusePassword = refuse;
        start(d);
        ASSERT_EQ(session->serial().open("COM1"), 0);
        session->setPassword("secret");
        EXPECT_EQ(session->loginSerial(nullptr),
                  refuse ? SerialLoginResult::PasswordCancelled : SerialLoginResult::LoggedIn);
        EXPECT_EQ(session->password(), refuse ? Session::kDefaultPassword : "secret");
    }
}

// A file the shell cannot create (a folder in the way): the write stops with the shell's words and
// not one line of the file reaches the shell as a command; a file it can create is written whole.
TEST_F(DeviceSessionSimulatorTest, CatWriteStartsOnlyWhenTheShellOpenedTheFile) {
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "telnet");
        auto d = device("127.0.71.14");
        d.shell.serial = serial;
        d.shell.prompt = "# ";
        d.shell.files["/var/tmp/blocked/keep"] = "";
        start(d);
        session->setConnectionIsNetwork(!serial);
        if (serial) {
            ASSERT_EQ(session->serial().open("COM1"), 0);
            ASSERT_EQ(session->loginSerial(nullptr), SerialLoginResult::LoggedIn);
        } else {
            ASSERT_EQ(session->loginNetwork("127.0.71.14", false, nullptr), LoginOk);
        }
        DeviceSession shell(*session);
        shell.adoptLoginPrompt();
        const std::vector<std::string> lines{"rm -f /etc/config/boa.conf", "echo IPADDR=10.0.0.5"};

        session->remoteLines() = lines;
        EXPECT_EQ(
            shell.writeRemoteFile("/var/tmp/blocked", "/var/tmp", "blocked", DeviceSession::WriteBy::Cat),
            Outcome::Failed);
        EXPECT_EQ(shell.deviceMessage(),
                  "the device could not create /var/tmp/blocked: sh: can't create /var/tmp/blocked: Is a "
                  "directory");
        for (const auto& command : simulator->commands(0))
            for (const auto& line : lines)
                EXPECT_NE(command, line);

        session->remoteLines() = lines;
        EXPECT_EQ(shell.writeRemoteFile("/var/tmp/net", "/var/tmp", "net", DeviceSession::WriteBy::Cat),
                  Outcome::Ok)
            << shell.deviceMessage();
        EXPECT_EQ(simulator->fileText(0, "/var/tmp/net"), lines[0] + "\n" + lines[1] + "\n");
        shell.logout(false);
    }
}

}  // namespace
}  // namespace lm
