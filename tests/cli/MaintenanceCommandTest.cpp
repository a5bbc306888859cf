// lmtools-cli reboot and erase against the demo's simulated devices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CliRun.h"

namespace lm::cli {
namespace {

using test::runCommand;

struct MaintenanceCase {
    std::string name;
    std::vector<const char*> args;
    int status;
    std::string out;    // all of standard output
    std::string inErr;  // expected in standard error
};

class MaintenanceCommands : public testing::TestWithParam<MaintenanceCase> {
protected:
    void SetUp() override { ::unsetenv("LMTOOLS_PASSWORD"); }
};

TEST_P(MaintenanceCommands, ExitStatusAndTexts) {
    const auto& c = GetParam();
    std::vector<const char*> args = {"--demo"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = runCommand(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
}

const std::string kLogin = "Establishing Telnet session...\n";

INSTANTIATE_TEST_SUITE_P(
    Demo, MaintenanceCommands,
    testing::Values(
        MaintenanceCase{"Reboot",
                        {"reboot", "127.0.0.10", "--password", "vorna"},
                        0,
                        "The device will take\na few seconds to reboot.\n",
                        kLogin + "Rebooting...\n"},
        MaintenanceCase{
            "EraseAndReboot",
            {"erase", "127.0.0.11", "--password", "vorna"},
            0,
            "You have erased the config files,\nbut the device will take\na few seconds to reboot.\n",
            kLogin + "Erasing config files...\nRebooting...\n"},
        MaintenanceCase{"EraseOnly",
                        {"erase", "--no-reboot", "127.0.0.12", "--password", "vorna"},
                        0,
                        "You have erased the config files.\n",
                        kLogin + "Erasing config files...\n"},
        MaintenanceCase{"WrongPasswordWithoutTerminal",
                        {"reboot", "127.0.0.10", "--password", "nope"},
                        2,
                        "",
                        "Please enter the correct password.\n"},
        MaintenanceCase{"NoPasswordWithoutTerminal",
                        {"erase", "127.0.0.10"},
                        2,
                        "",
                        "You must specify the administrator password.\n"},
        MaintenanceCase{"NobodyThere",
                        {"reboot", "127.0.0.99", "--password", "vorna"},
                        1,
                        "",
                        "This device does not respond!\n"},
        MaintenanceCase{"NotAnAddress", {"erase", "camera.local"}, 1, "", "not an IPv4 address"}),
    [](const auto& p) { return p.param.name; });

TEST(MaintenancePassword, EnvironmentSuppliesIt) {
    ::setenv("LMTOOLS_PASSWORD", "vorna", 1);
    const auto run = runCommand({"--demo", "erase", "--no-reboot", "127.0.0.13"});
    ::unsetenv("LMTOOLS_PASSWORD");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "You have erased the config files.\n");
}

}  // namespace
}  // namespace lm::cli
