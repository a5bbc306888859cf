// The shell operations against simulated devices: over telnet and over the serial console. (The
// device's flash tool fetching from our TFTP server is the firmware upgrade's test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/DeviceSession.h"
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
    void logInOverTelnet(const char* address) {
        ASSERT_EQ(session->loginNetwork(address, false, nullptr), LoginOk);
    }
};

TEST_F(DeviceSessionSimulatorTest, NetworkCommandsFilesAndWrites) {
    start(device("127.0.71.11"));
    logInOverTelnet("127.0.71.11");
    DeviceSession shell(*session);

    EXPECT_EQ(shell.RunCommand("ifconfig -a"), Outcome::Ok);
    EXPECT_EQ(session->shellPrompt(), "> ");
    ASSERT_FALSE(session->remoteLines().empty());
    EXPECT_EQ(session->remoteLines().front().rfind("eth0", 0), 0u) << session->remoteLines().front();

    EXPECT_EQ(shell.RunCommand("frobnicate"), Outcome::Refused);
    EXPECT_EQ(shell.ReadRemoteFile("/etc/version"), Outcome::Ok);
    ASSERT_EQ(session->remoteLines().size(), 1u);
    EXPECT_NE(session->remoteLines()[0].find("version"), std::string::npos);
    EXPECT_EQ(shell.ReadRemoteFile("/etc/missing"), Outcome::Refused);

    for (const bool viaCat : {true, false}) {
        session->setCatWriteSupported(viaCat);
        session->remoteLines() = {"IPADDR=10.0.0.5", "NETMASK=255.255.255.0"};
        const std::string path = viaCat ? "/var/tmp/bycat" : "/var/tmp/byvi";
        EXPECT_EQ(shell.WriteRemoteFile(path, path, path), Outcome::Ok) << path;
        EXPECT_EQ(simulator->fileText(0, path), "IPADDR=10.0.0.5\nNETMASK=255.255.255.0\n") << path;
    }
    EXPECT_EQ(shell.SaveConfig(), Outcome::Ok);
    bool depend = true;
    EXPECT_EQ(shell.ProbeConfigTool(depend), Outcome::Ok);
    EXPECT_FALSE(depend);
    shell.Logout(true);
    EXPECT_FALSE(session->telnet().isOpen());
}

TEST_F(DeviceSessionSimulatorTest, SerialConsoleLoginCommandsAndEditorWrite) {
    auto d = device("127.0.71.12");
    d.shell.serial = true;
    d.shell.consoleInEditor = true;  // a console left inside the editor by an earlier run
    d.shell.prompt = "# ";
    start(d);
    session->setConnectionIsNetwork(false);
    ASSERT_EQ(session->serial().Open("COM1"), 0);
    ASSERT_EQ(session->loginSerial(nullptr), SerialLoginResult::LoggedIn);

    DeviceSession shell(*session);
    EXPECT_EQ(shell.RunCommand("cat /etc/version"), Outcome::Ok);
    EXPECT_EQ(session->shellPrompt(), "# ");
    ASSERT_EQ(session->remoteLines().size(), 1u);
    EXPECT_NE(session->remoteLines()[0].find("version"), std::string::npos);

    session->remoteLines() = {"A=1"};
    EXPECT_EQ(shell.WriteRemoteFile("/var/tmp/serial", "/var/tmp/serial", "/var/tmp/serial"), Outcome::Ok);
    EXPECT_EQ(simulator->fileText(0, "/var/tmp/serial"), "A=1\n");
    EXPECT_EQ(shell.SetClock(), Outcome::Ok);
    const auto commands = simulator->commands(0);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2].rfind("date -s \"", 0), 0u);
    EXPECT_EQ(commands.back(), "hwclock -w");
    bool root = false;
    session->setFirmware({2, 0, 0});
    EXPECT_EQ(shell.EnterNsh(root), Outcome::Ok);  // the serial form decides without a command from 2.x
    EXPECT_TRUE(root);
    shell.Logout(false);
    EXPECT_FALSE(session->serial().isOpen());
}

// The console login sends the password the user gave; a refused one, with nobody to ask, fails.
TEST_F(DeviceSessionSimulatorTest, ConsoleLoginUsesTheGivenPassword) {
    for (const bool refuse : {false, true}) {
        auto d = device("127.0.71.13");
        d.shell.serial = true;
        d.shell.password = "secret";
        d.shell.faults.refusePassword = refuse;
        start(d);
        ASSERT_EQ(session->serial().Open("COM1"), 0);
        session->setPassword("secret");
        EXPECT_EQ(session->loginSerial(nullptr),
                  refuse ? SerialLoginResult::PasswordCancelled : SerialLoginResult::LoggedIn);
        EXPECT_EQ(session->password(), refuse ? Session::kDefaultPassword : "secret");
    }
}

}  // namespace
}  // namespace lm
