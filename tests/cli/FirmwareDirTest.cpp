// upgrade --firmware-dir: each device's image chosen from a folder by its model and version, the
// dry run's plan, and the uses of the option that are refused before anything is sent.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "SimulatedDevices.h"
#include "support/TempFolder.h"

namespace lm::cli {
namespace {

using test::runCommand;
using test::runDemo;

const std::string kImage(40'000, 'f');

// ZelvixXL devices at 127.0.0.71 and on, not at factory settings: one behind, one current, one
// whose version cannot be read, one that refuses every password.
class FolderPlan : public test::SimulatedDevices {
protected:
    void SetUp() override {
        std::vector<sim::DeviceConfig> devices(4);
        devices[0].version = "4.9.2";
        devices[1].version = "4.10.0";
        devices[2].version = "4.x";
        devices[3].version = "4.2.1";
        devices[3].shell.faults.refusePassword = true;
        for (auto& device : devices)
            device.shell.password = "s3cret";
        start(std::move(devices), 71, 7);
        ASSERT_FALSE(HasFatalFailure());
        for (const char* name :
             {"zelvixxl-4.9.2.bin", "zelvixxl-4.10.0.bin", "dravielxl-9.0.0.bin", "notes.txt"})
            folder.write(name, kImage);
    }

    lm::test::TempFolder folder{"cli-fwdir-plan"};
};

// The plan names each device's image or why it is skipped, needs no password and logs in nowhere.
TEST_F(FolderPlan, DryRunPrintsThePlanAndTheRunKeepsToIt) {
    const auto plan = runCommand({"upgrade", "127.0.0.71", "127.0.0.72", "127.0.0.73", "127.0.0.74",
                                  "127.0.0.79", "--firmware-dir", folder.path().c_str(), "--dry-run"});
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_EQ(
        plan.out,
        "Host        ID             Version  Image\n"
        "127.0.0.71  024C55-C80700  4.9.2    zelvixxl-4.10.0.bin\n"
        "127.0.0.72  024C55-C80701  4.10.0   skipped: already at 4.10.0\n"
        "127.0.0.73  024C55-C80702  4.x      skipped: its firmware version \"4.x\" cannot be read, so no "
        "image counts as newer\n"
        "127.0.0.74  024C55-C80703  4.2.1    zelvixxl-4.10.0.bin\n"
        "127.0.0.79                          skipped: no answer to the probe, so its model and version "
        "are not known\n");
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(simulator->counters(i).telnetSessions, 0u) << i;

    const auto json = runCommand({"upgrade", "127.0.0.73", "127.0.0.71", "--firmware-dir",
                                  folder.path().c_str(), "--dry-run", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    const auto rows = nlohmann::json::parse(json.out);
    ASSERT_EQ(rows.size(), 2u) << json.out;
    EXPECT_EQ(rows[0]["id"], "024C55-C80702");
    EXPECT_TRUE(rows[0]["version"].is_null()) << "a version that cannot be read is none";
    EXPECT_TRUE(rows[0]["image"].is_null());
    EXPECT_EQ(rows[1]["address"], "127.0.0.71");
    EXPECT_EQ(rows[1]["version"], "4.9.2");
    EXPECT_EQ(rows[1]["image"], "zelvixxl-4.10.0.bin");
    EXPECT_TRUE(rows[1]["skipReason"].is_null());

    // Without --dry-run, a device that is skipped is never logged in to, and the refusing one that
    // had an image ends refused: the batch says not all were done.
    const auto run = runCommand({"upgrade", "127.0.0.72", "127.0.0.73", "127.0.0.74", "--firmware-dir",
                                 folder.path().c_str(), "--password", "s3cret", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.out.find("127.0.0.72  024C55-C80701  ZelvixXL     skipped: already at 4.10.0\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("127.0.0.74  024C55-C80703  ZelvixXL     refused: Please enter the correct password."),
        std::string::npos)
        << run.out;
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(simulator->counters(i).telnetSessions, 0u) << i;
    EXPECT_GT(simulator->counters(3).telnetSessions, 0u);
}

// The demo's devices from one folder: the images of their models that are newer go on, the rest
// are skipped; one HOST gets its row too.
TEST(FolderUpgradeDemo, EachDeviceGetsItsNewestImage) {
    ::unsetenv("LMTOOLS_PASSWORD");
    ::setenv("LMTOOLS_QUIET_MS", "300", 1);  // --all scans
    const lm::test::TempFolder folder("cli-fwdir-demo");
    folder.write("zelvix-5206e-4.3.0.bin", kImage);
    folder.write("zelvix-5206e-4.10.0.bin", std::string(50'000, 'f'));
    folder.write("zelvix-5407-4.2.1.bin", kImage);  // the second demo device's own version
    const auto all = runDemo({"upgrade", "--all", "--type", "zelvix", "--firmware-dir", folder.path().c_str(),
                              "--password", "vorna"});
    EXPECT_EQ(all.status, 3) << all.err;
    EXPECT_NE(all.out.find("127.0.0.10  024C55-C00000  Zelvix       OK\n"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("127.0.0.11  024C55-C10001  Zelvix       skipped: already at 4.2.1\n"),
              std::string::npos)
        << all.out;
    EXPECT_NE(all.err.find("127.0.0.10: Firmware 4.2.1 is to be replaced by zelvix-5206e-4.10.0.bin\n"),
              std::string::npos)
        << all.err;
    EXPECT_EQ(all.err.find("127.0.0.11: Establishing"), std::string::npos) << all.err;

    const auto one =
        runDemo({"upgrade", "127.0.0.11", "--firmware-dir", folder.path().c_str(), "--password", "vorna"});
    EXPECT_EQ(one.status, 3) << one.err;
    EXPECT_NE(one.out.find("127.0.0.11  024C55-C10001  Zelvix       skipped: already at 4.2.1\n"),
              std::string::npos)
        << one.out;
    ::unsetenv("LMTOOLS_QUIET_MS");
}

// Refused before anything is sent: a folder that cannot be read and options that do not go with it.
TEST(FolderUpgradeUsage, RefusedBeforeAnythingIsSent) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const lm::test::TempFolder folder("cli-fwdir-usage");
    const std::string dir = folder.path();
    const std::string missing = folder.file("none");
    const std::string file = folder.write("zelvix-5206e-4.3.0.bin", kImage);
    const struct {
        std::vector<const char*> args;
        std::string inErr;
    } cases[] = {
        {{"upgrade", "--all", "--firmware-dir", missing.c_str(), "--dry-run"},
         "cannot read the folder " + missing + ": "},
        {{"upgrade", "--all", "--firmware-dir", dir.c_str(), "--ignore-model", "--dry-run"},
         "--ignore-model does not go with --firmware-dir"},
        {{"upgrade", "127.0.0.10", "--firmware-dir", dir.c_str(), "--id", "024C55-C00000", "--dry-run"},
         "--id does not go with --firmware-dir"},
        {{"upgrade", "--firmware-dir", dir.c_str(), "--dry-run"}, "missing HOST"},
        {{"upgrade", "127.0.0.10", file.c_str(), "--dry-run"}, "--dry-run goes with --firmware-dir"},
        {{"upgrade", "--all", "--firmware-dir", dir.c_str()}, "the admin password is needed"},
    };
    for (const auto& c : cases) {
        const auto run = runDemo(c.args);
        EXPECT_EQ(run.status, 64) << c.inErr << "\n" << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace lm::cli
