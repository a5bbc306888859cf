// lmtools-cli reboot, erase, upgrade, run and cat against the demo's simulated devices, over telnet and the
// serial console.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "core/platform/Socket.h"

namespace lm::cli {
namespace {

using test::runDemo;

const std::string kLogin = "Establishing Telnet session...\n";
const std::string kErasing = kLogin + "Erasing config files...\n";
const std::string kVersion = "Lumetra Zelvix version 4.2.1\n";  // line ends are the PC's
const std::string kRebooted = "The device will take\na few seconds to reboot.\n";
const std::string kUpgraded =
    "You have completed the ROM upgrade process,\nhowever the device will take about\n1 minute more to "
    "finish.  DO NOT TURN OFF\nITS POWER for at least 1 minute!\n";
// The production test's CSV: the first demo device passes; nothing answers at 127.0.0.99.
const std::string kProductionHeader =
    "MAC,Duration,Rate,Exposure,PID,Devices,Temperature,Errors,Versions,Firmware,Watchdog,Imaging,"
    "Verdict\r\n";
const std::string kProductionPassed =
    kProductionHeader + "024C55-C00000,OK (8hrs),OK,OK,OK,OK,OK (+77.0F),OK,OK,4.2.1,1.05A,,OK\r\n";
// The fourth demo device's report: every rating passes. Its comments are the status lines.
const std::string kReportListing =
    "Mac:           024C55-C40004\nIP:            127.0.0.14\nMode:          Static IP\n"
    "Version:       Lumetra ZelvixMP version 4.1.7\nLumetra Ver:   10.60M\nWatchdog Ver:  1.05A\n"
    "Temperature:   +77.0F\nUptime:        0 days, 8 hrs, 20 min, 12 sec\nFrames:        123456\n"
    "Rate:          4.113482\nZelvix Proc:   12.5%\nZelvix Errors: 0\nZelvix PID:    112\n"
    "Exposure:      833\nMBus Devices:  3\nMBus Errors:   0\nComments:      Report Complete.\n"
    "Activity Report Rating:\n  [x] PID Range Correct\n  [x] All Devices Found\n  [x] Temp OK\n"
    "  [x] Error Count In Range\n  [x] Frame Rate In Range\n  [x] Exp OK\n  [x] Test Duration Sufficient\n"
    "  [x] Chip Versions OK\n  [x] MegaPix\nNote: This activity report rating is only valid when the device "
    "is placed under controlled testing conditions.\n";
const std::string kProductionUntested = kProductionHeader + "127.0.0.99,Timeout,,,,,,,,,,,No\r\n";
const std::string kClockSet = "Connecting via telnet...\nConnected, setting time...\nTime is set.\n";
const std::string kSyslog =
    "Mar  3 10:12:45 zelvix syslogd started: BusyBox v0.60.5\n"
    "Mar  3 10:12:46 zelvix kernel: eth0: link up, 100Mbps, full-duplex\n"
    "Mar  3 10:12:50 zelvix boa: server version Boa/0.94.13 started\n";

TEST(DemoCommands, ExitStatusAndTexts) {
    ::unsetenv("LMTOOLS_PASSWORD");
    // Firmware for the first demo device (model C0) by its name; the second (C1) wants other firmware.
    const std::string rom = testing::TempDir() + "zelvix-5206e-demo.bin";
    std::ofstream(rom, std::ios::binary) << std::string(100'000, 'r');
    const std::string missingRom = testing::TempDir() + "zelvix-5206e-none.bin";
    const std::string transfer = "ROM file transfer in progress...\n";
    const struct {
        std::vector<const char*> args;
        int status;
        std::string out;    // all of standard output
        std::string inErr;  // expected in standard error
    } cases[] = {
        {{"reboot", "127.0.0.10", "--password", "vorna"}, 0, kRebooted, kLogin + "Rebooting...\n"},
        {{"erase", "127.0.0.11", "--password", "vorna"},
         0,
         "You have erased the config files,\nbut the device will take\na few seconds to reboot.\n",
         kErasing + "Rebooting...\n"},
        {{"erase", "--no-reboot", "127.0.0.12", "--password", "vorna"},
         0,
         "You have erased the config files.\n",
         kErasing},
        // Without a terminal nobody can be asked for the password.
        {{"reboot", "127.0.0.10", "--password", "nope"}, 2, "", "Please enter the correct password.\n"},
        {{"erase", "127.0.0.10"}, 64, "", "the admin password is needed"},
        {{"run", "--password", "nope", "127.0.0.10", "--", "ps"}, 2, "", "refused the password"},
        {{"reboot", "127.0.0.99", "--password", "vorna"}, 1, "", "This device does not respond!\n"},
        {{"run", "127.0.0.99", "--", "ps"}, 1, "", "No answer from 127.0.0.99"},
        {{"run", "127.0.0.10", "--", "cat", "/etc/version"}, 0, kVersion, ""},
        {{"cat", "127.0.0.11", "/etc/version"}, 0, kVersion, ""},
        {{"run", "127.0.0.10", "--", "frobnicate"}, 2, "", "Bad command"},
        {{"cat", "127.0.0.10", "/etc/none"}, 2, "", "Invalid argument"},
        {{"cat", "camera.local", "/etc/version"}, 64, "", "not an IPv4 address"},
        {{"run", "--serial", "COM1", "--", "cat", "/etc/version"}, 0, kVersion, ""},
        // With --serial there is no HOST: a one-word command must not be taken for one.
        {{"run", "--serial", "COM1", "--", "pwd"}, 0, "/\n", ""},
        {{"run", "127.0.0.10", "--serial", "COM1", "--", "ps"}, 64, "", "not both"},
        {{"cat", "--serial", "COM9", "/etc/version"}, 1, "", "was not found"},
        // Nothing the user typed may become a second command on the device: refused before sending.
        {{"reboot", "127.0.0.10", "--password", "vorna\nconfig clear"},
         64,
         "",
         "the password holds a control"},
        {{"cat", "127.0.0.10", "/etc/version;reboot"}, 64, "", "may hold only"},
        {{"cat", "127.0.0.10", "etc/version"}, 64, "", "absolute path"},
        {{"run", "127.0.0.10", "--", "id\nreboot"}, 64, "", "control character"},
        {{"run", "127.0.0.10", "--", " "}, 64, "", "the command is empty"},
        {{"upgrade", "127.0.0.10", rom.c_str(), "--password", "vorna"}, 0, kUpgraded, transfer},
        {{"upgrade", "127.0.0.10", rom.c_str(), "--keep-config", "--password", "vorna"},
         0,
         kUpgraded,
         "Checking version for config file compatibility...\n"},
        {{"upgrade", "127.0.0.10", rom.c_str(), "--keep-config", "--save-network"},
         64,
         "",
         "goes with the erase"},
        {{"upgrade", "127.0.0.10", rom.c_str(), "--pc-address", "10.1.2"}, 64, "", "not an IPv4 address"},
        // Refused input, before anything goes to the device.
        {{"upgrade", "127.0.0.10", rom.c_str(), "--pc-address", "10.9.9.9", "--password", "vorna"},
         64,
         "",
         "10.9.9.9 is not an address of this PC's network interfaces."},
        {{"upgrade", "127.0.0.10", missingRom.c_str(), "--password", "vorna"},
         64,
         "",
         "cannot read the firmware image " + missingRom},
        // --yes answers questions; only --ignore-model flashes firmware of another model.
        {{"upgrade", "127.0.0.11", rom.c_str(), "--password", "vorna"},
         1,
         "",
         "not upgraded: zelvix-5206e-demo.bin is not for Zelvix (expects zelvix-5407*.bin)"},
        {{"upgrade", "127.0.0.11", rom.c_str(), "--password", "vorna", "--yes"},
         1,
         "",
         "not upgraded: zelvix-5206e-demo.bin is not for Zelvix (expects zelvix-5407*.bin)"},
        {{"upgrade", "127.0.0.11", rom.c_str(), "--password", "vorna", "--ignore-model", "-q"},
         0,
         kUpgraded,
         ""},
        // Set Time and the logs start with the default password; 127.0.0.14 shows "# ". The report
        // shares their frame: its failures are theirs.
        {{"settime", "127.0.0.10"}, 0, "", kClockSet},
        {{"settime", "127.0.0.99"}, 1, "", "Error updating time!\n"},
        {{"log", "127.0.0.11"}, 0, kSyslog, "Reading system log...\nLog read and displayed.\n"},
        {{"report", "127.0.0.14", "--id", "024C55-C40004"},
         0,
         kReportListing,
         kLogin + "Running cat /etc/version...\nRunning cat /etc/config/ifcfg-eth0...\n"},
        {{"production", "127.0.0.10", "--csv"}, 0, kProductionPassed, "Device 1 of 1: OK  024C55-C00000\n"},
        {{"production", "127.0.0.99", "--csv", "-q"}, 1, kProductionUntested, "No device could be tested.\n"},
        {{"production", "127.0.0.10", "--password", "nope", "--csv", "-q"},
         1,
         kProductionHeader + "024C55-C00000,Password,,,,,,,,,,,No\r\n",
         ""},
        {{"production", "127.0.0.10", "--json", "--csv"}, 64, "", "excludes"},
        {{"production", "camera.local"}, 64, "", "not an IPv4 address"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const char* arg : c.args)
            line += std::string(arg) + ' ';
        SCOPED_TRACE(line);
        const auto run = runDemo(c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
}

// A TFTP failure is an error like the upgrade's own: standard output holds results only.
TEST(DemoCommands, TftpErrorGoesToStandardError) {
    const std::string rom = testing::TempDir() + "zelvix-5206e-tftp.bin";
    std::ofstream(rom, std::ios::binary) << std::string(5'000, 't');
    auto taken = UdpSocket::open();
    // The port the upgrade would serve from, on the demo PC's own address, is taken.
    ASSERT_TRUE(taken && taken->bind(*parseIpv4("127.0.0.254"), 0));
    ::setenv("LMTOOLS_TFTP_PORT", std::to_string(taken->localPort()).c_str(), 1);
    const auto run = runDemo({"upgrade", "127.0.0.10", rom.c_str(), "--password", "vorna"});
    ::unsetenv("LMTOOLS_TFTP_PORT");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("The device was unable to start TFTP."), std::string::npos) << run.err;
}

// Several devices at once: a table of each device's result on standard output, exit 3 when any
// failed; usage errors before anything is sent.
TEST(DemoCommands, BatchesEndWithATableOfResults) {
    ::unsetenv("LMTOOLS_PASSWORD");
    ::setenv("LMTOOLS_QUIET_MS", "300", 1);  // --all scans
    const std::string rom = testing::TempDir() + "zelvix-5206e-batch.bin";
    std::ofstream(rom, std::ios::binary) << std::string(70'000, 'b');
    const struct {
        std::vector<const char*> args;
        int status;
        std::vector<std::string> rows;  // each expected in standard output
        std::string inErr;
    } cases[] = {
        {{"settime", "127.0.0.12", "127.0.0.13", "--jobs", "2"},
         0,
         {"127.0.0.12  ", "127.0.0.13  "},
         "127.0.0.13: Time is set.\n"},
        // One image to two devices at once through one TFTP port; the second wants other firmware
        // and is left alone, --yes or not.
        {{"upgrade", "127.0.0.10", "127.0.0.11", rom.c_str(), "--password", "vorna"},
         3,
         {"127.0.0.10  024C55-C00000  Zelvix       OK\n",
          "127.0.0.11  024C55-C10001  Zelvix       skipped: zelvix-5206e-batch.bin is not for Zelvix "
          "(expects "
          "zelvix-5407*.bin)\n"},
         "127.0.0.10: Establishing Telnet session...\n"},
        {{"upgrade", "--all", "--type", "zelvix", rom.c_str(), "--password", "vorna", "--yes", "-q"},
         3,
         {"127.0.0.10  024C55-C00000  Zelvix       OK\n",
          "127.0.0.11  024C55-C10001  Zelvix       skipped: zelvix-5206e-batch.bin is not for Zelvix "
          "(expects "
          "zelvix-5407*.bin)\n"},
         ""},
        {{"upgrade", "--all", "--type", "zelvix", rom.c_str(), "--password", "vorna", "--ignore-model", "-q"},
         0,
         {"127.0.0.10  024C55-C00000  Zelvix       OK\n", "127.0.0.11  024C55-C10001  Zelvix       OK\n"},
         ""},
        {{"reboot", "--all", "--type", "None Such", "--password", "vorna", "-q"}, 1, {}, "no device of type"},
        {{"reboot", "127.0.0.10", "127.0.0.11"}, 64, {}, "needed for several devices"},
        {{"reboot", "127.0.0.10", "127.0.0.10", "--password", "vorna"}, 64, {}, "127.0.0.10 is given twice"},
        {{"upgrade", "--all", "127.0.0.10", rom.c_str(), "--password", "vorna"}, 64, {}, "not both"},
        {{"settime", "--type", "Zelvix", "127.0.0.10"}, 64, {}, "add --all"},
        {{"settime", "127.0.0.10", "127.0.0.11", "--jobs", "0"}, 64, {}, "--jobs must be from 1 to 64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + std::string(" ") + c.args[1]);
        const auto run = runDemo(c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        for (const auto& row : c.rows)
            EXPECT_NE(run.out.find(row), std::string::npos) << run.out;
        if (c.rows.empty()) {
            EXPECT_EQ(run.out, "");
        }
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        // A skipped device is not even logged in to.
        if (run.out.find("skipped") != std::string::npos) {
            EXPECT_EQ(run.err.find("127.0.0.11: Establishing"), std::string::npos) << run.err;
        }
    }
    ::unsetenv("LMTOOLS_QUIET_MS");
}

// Only the echo is dropped from a user's command: ps lists itself, over telnet and serial alike.
TEST(DemoCommands, RunPrintsEveryLineButTheEcho) {
    for (const auto& target : {std::vector<const char*>{"run", "127.0.0.10"}, {"run", "--serial", "COM1"}}) {
        auto args = target;
        args.insert(args.end(), {"--", "ps"});
        const auto run = runDemo(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(" ps\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.rfind("  PID", 0), 0u) << run.out;
    }
}

TEST(DemoCommands, EnvironmentSuppliesThePasswordAndQuietSilencesStatus) {
    ::setenv("LMTOOLS_PASSWORD", "vorna", 1);
    const auto erased = runDemo({"erase", "--no-reboot", "--quiet", "127.0.0.13"});
    ::setenv("LMTOOLS_PASSWORD", "nope", 1);
    const auto refused = runDemo({"run", "127.0.0.10", "--", "ps"});
    ::unsetenv("LMTOOLS_PASSWORD");
    // The device behind "# " sets its hardware clock and prints its kernel log just the same.
    const auto clockSet = runDemo({"settime", "-q", "127.0.0.14"});
    const auto kernelLog = runDemo({"log", "127.0.0.14", "--debug", "--quiet"});
    EXPECT_EQ(clockSet.status, 0) << clockSet.err;
    EXPECT_EQ(clockSet.out + clockSet.err, "");
    EXPECT_EQ(kernelLog.status, 0) << kernelLog.err;
    EXPECT_EQ(kernelLog.out.rfind("Linux version", 0), 0u) << kernelLog.out;
    EXPECT_EQ(erased.status, 0) << erased.err;
    EXPECT_EQ(erased.out, "You have erased the config files.\n");
    EXPECT_EQ(erased.err, "") << "--quiet shows no status lines";
    EXPECT_EQ(refused.status, 2) << refused.err;
}

// The second demo device ran too briefly, runs hot and counts errors: its JSON says so, with the
// device's ID under "id" and the MAC it is made from under "mac".
TEST(DemoCommands, ReportAsJson) {
    const auto run = runDemo({"report", "127.0.0.11", "--json", "--id", "024C55-C10001", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto report = nlohmann::ordered_json::parse(run.out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : report.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "mac", "address", "mode", "version", "processVersion",
                                              "watchdog", "temperature", "uptime", "frames", "rate",
                                              "processShare", "errors", "pid", "exposure", "busDevices",
                                              "busErrors", "comments", "ratings"}));
    // What each value and rating reads is the activity report's tests' concern; here they reach JSON.
    EXPECT_EQ(report["id"], "024C55-C10001");
    EXPECT_EQ(report["mac"], "02:4C:55:C1:00:01");
    EXPECT_EQ(report["temperature"], 126.5);
    EXPECT_EQ(report["uptime"], 5400);
    EXPECT_EQ(report["ratings"]["tempOk"], false);
    EXPECT_EQ(report["ratings"]["frameRate"], true);
}

// Rows come in ID order whatever the order of the hosts; one failing device makes the exit 3.
TEST(DemoCommands, ProductionAsJson) {
    const auto run = runDemo({"production", "127.0.0.11", "127.0.0.10", "--json", "--jobs", "2", "-q"});
    ASSERT_EQ(run.status, 3) << run.err;
    const auto rows = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(rows.size(), 2u);
    std::vector<std::string> keys;
    for (const auto& [key, value] : rows[0].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "address", "duration", "rate", "exposure", "pid",
                                              "devices", "temperature", "errors", "versions", "firmware",
                                              "watchdog", "imaging", "verdict"}));
    // Each cell's rule is the production rules' tests' concern.
    EXPECT_EQ(rows[0]["id"], "024C55-C00000");
    EXPECT_EQ(rows[0]["address"], "127.0.0.10");
    EXPECT_EQ(rows[0]["verdict"], "OK");
    EXPECT_EQ(rows[1]["id"], "024C55-C10001");
    EXPECT_EQ(rows[1]["verdict"], "No");
}

}  // namespace
}  // namespace lm::cli
