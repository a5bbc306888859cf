// lmtools-cli against simulated devices that refuse, hang up, fail half way or print hostile text:
// the exit status and the words follow what each device answered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CliRun.h"
#include "SimulatedDevices.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::cli {
namespace {

using test::runCommand;

// Devices at 127.0.0.41 and on.
class RefusingDevices : public test::SimulatedDevices {
protected:
    void start(std::vector<sim::DeviceConfig> devices, uint16_t telnetPort = 0) {
        SimulatedDevices::start(std::move(devices), 41, 2, telnetPort);
    }
};

// A tool that turns its arguments away ends `run` as refused; a log that merely quotes the words
// does not.
TEST_F(RefusingDevices, RunTellsARefusedCommandByTheDevicesWords) {
    sim::DeviceConfig device;
    device.shell.outputs["mbus /dev/x r 1"] = "mbus: /dev/x: Invalid argument\n";
    device.shell.outputs["cat /etc/secret"] = "cat: can't open '/etc/secret': Permission denied\n";
    device.shell.outputs["cat /var/log/messages"] = "Mar  3 10:12:46 kernel: eth1: Invalid argument\n";
    start({device});
    ASSERT_FALSE(HasFatalFailure());
    const struct {
        std::vector<const char*> args;
        int status;
        const char* inErr;
    } cases[] = {
        {{"run", "127.0.0.41", "--", "mbus", "/dev/x", "r", "1"},
         2,
         "The device refused the command: mbus: /dev/x: Invalid argument"},
        {{"run", "127.0.0.41", "--", "cat", "/etc/secret"}, 2, "Permission denied"},
        {{"run", "127.0.0.41", "--", "cat", "/var/log/messages"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[3]);
        const auto run = runCommand(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        EXPECT_NE(run.out, "") << "the device's output is printed either way";
    }
}

// What was read before a later command failed is printed, as the window keeps it; then the
// failure, with the status of a refusal.
TEST_F(RefusingDevices, ReportPrintsWhatItReadBeforeALaterFailure) {
    sim::DeviceConfig device;
    device.shell.outputs["cat /proc/mbus"] = "cat /proc/mbus: Bad command\n";
    start({device});
    ASSERT_FALSE(HasFatalFailure());
    const auto run = runCommand({"report", "127.0.0.41", "--id", "024C55-C80200", "-q"});
    EXPECT_EQ(run.status, 2) << run.err;
    for (const char* line :
         {"Mac:           024C55-C80200\n", "Uptime:        0 days, 8 hrs, 20 min, 12 sec\n",
          "Watchdog Ver:  1.05A\n", "MBus Devices:  \n", "  [ ] All Devices Found\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_EQ(run.err, "lmtools-cli: Error Reading Config info!\n");
}

// Nobody cancelled: without a terminal to ask for another password, a refused one is told as such.
TEST_F(RefusingDevices, ARefusedPasswordIsNeverTakenForACancel) {
    start({sim::DeviceConfig{}});
    ASSERT_FALSE(HasFatalFailure());
    for (const char* command : {"report", "log"}) {
        SCOPED_TRACE(command);
        const auto run = runCommand({command, "127.0.0.41", "--password", "nope"});
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err.find("canceled by user"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("refused the password"), std::string::npos) << run.err;
    }
}

// A device that refuses the password, one that hangs up without a word and an address where nothing
// listens read apart in the batch table.
TEST_F(RefusingDevices, BatchTableTellsRefusedSilentAndUnreachableApart) {
    lm::test::LoopbackPeer hangsUp([](lm::test::Conversation& device) { device.close(); },
                                   lm::test::LoopbackPeer::Transport::TcpEach, "127.0.0.45");
    sim::DeviceConfig refuses;
    refuses.shell.faults.refusePassword = true;
    start({refuses, sim::DeviceConfig{}}, hangsUp.port());
    ASSERT_FALSE(HasFatalFailure());
    const auto run = runCommand(
        {"reboot", "127.0.0.41", "127.0.0.42", "127.0.0.45", "127.0.0.49", "--password", "vorna", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    // A device that answers the probe is named by its ID even when only its address was given.
    for (const char* row :
         {"127.0.0.41  024C55-C80200  ZelvixXL     refused: Please enter the correct password.\n",
          "127.0.0.42  024C55-C80201  ZelvixXL     OK\n",
          "127.0.0.45                              no answer: This device does not respond!\n",
          "127.0.0.49                              unreachable: This device does not respond!\n"})
        EXPECT_NE(run.out.find(row), std::string::npos) << row << run.out;
}

// Device text in CSV stays text in a spreadsheet.
TEST_F(RefusingDevices, ProductionCsvStartsNoFormula) {
    sim::DeviceConfig device;
    device.shell.files["/etc/version"] = "Lumetra Zelvix version=HYPERLINK(\"http://x\")\n";
    start({device});
    ASSERT_FALSE(HasFatalFailure());
    const auto run = runCommand({"production", "127.0.0.41", "--csv", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.out.find(",\"'=HYPERLINK(\"\"http://x\"\")\","), std::string::npos) << run.out;
}

}  // namespace
}  // namespace lm::cli
