// lmtools-cli run and cat against the demo's simulated devices, over telnet and the serial console.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "CliRun.h"
#include "link/SerialLink.h"

namespace lm::cli {
namespace {

using test::runCommand;

struct ShellCase {
    std::string name;
    std::vector<const char*> args;
    int status;
    std::string inOut;  // expected in standard output
    std::string inErr;  // expected in standard error
};

class RemoteShellCommands : public testing::TestWithParam<ShellCase> {
protected:
    void SetUp() override { ::unsetenv("LMTOOLS_PASSWORD"); }
};

TEST_P(RemoteShellCommands, ExitStatusAndWords) {
    const auto& c = GetParam();
    std::vector<const char*> args = {"--demo"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = runCommand(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "line ends are the PC's";
}

INSTANTIATE_TEST_SUITE_P(
    Demo, RemoteShellCommands,
    testing::Values(
        ShellCase{"RunPrintsOutput", {"run", "127.0.0.10", "--", "ps"}, 0, "/bin/zelvix", ""},
        ShellCase{"CatPrintsFile", {"cat", "127.0.0.11", "/etc/version"}, 0, "version", ""},
        ShellCase{"UnknownCommandIsRefused", {"run", "127.0.0.10", "--", "frobnicate"}, 2, "", "Bad command"},
        ShellCase{"MissingFileIsRefused", {"cat", "127.0.0.10", "/etc/none"}, 2, "", "Invalid argument"},
        ShellCase{"WrongPasswordWithoutTerminal",
                  {"run", "--password", "nope", "127.0.0.10", "--", "ps"},
                  2,
                  "",
                  "refused the password"},
        ShellCase{"NobodyThere", {"run", "127.0.0.99", "--", "ps"}, 1, "", "No answer from 127.0.0.99"},
        ShellCase{"NotAnAddress", {"cat", "camera.local", "/etc/version"}, 1, "", "not an IPv4 address"},
        ShellCase{
            "SerialConsole", {"run", "--serial", "COM1", "--", "cat", "/etc/version"}, 0, "version", ""},
        ShellCase{"SerialOneWordCommand", {"run", "--serial", "COM1", "--", "ps"}, 0, "/bin/zelvix", ""},
        ShellCase{"CommandMissing", {"run", "--serial", "COM1"}, 1, "", "run needs a COMMAND"},
        ShellCase{"SerialPortMissing", {"cat", "--serial", "COM9", "/etc/version"}, 1, "", "was not found"}),
    [](const auto& p) { return p.param.name; });

TEST(RemoteShellPassword, EnvironmentSuppliesIt) {
    ::setenv("LMTOOLS_PASSWORD", "nope", 1);
    const auto refused = runCommand({"--demo", "run", "127.0.0.10", "--", "ps"});
    ::unsetenv("LMTOOLS_PASSWORD");
    EXPECT_EQ(refused.status, 2) << refused.err;
}

struct SwitchCase {
    std::vector<std::string> args;
    int rate;
    std::vector<std::string> rest;
};

TEST(SerialBitRateSwitch, IsTakenOutBeforeParsing) {
    const std::vector<SwitchCase> cases = {
        {{"-b", "1200", "--demo", "cat"}, 1200, {"--demo", "cat"}},
        {{"--demo", "-b", "1200", "300", "cat"}, 300, {"--demo", "cat"}},
        {{"cat", "-b", "300"}, 38400, {"cat", "-b", "300"}},
        {{"run", "h", "--", "-b", "1200"}, 38400, {"run", "h", "--", "-b", "1200"}},
    };
    for (auto c : cases) {
        EXPECT_EQ(takeSerialBitRateSwitch(c.args), c.rate) << c.args.size();
        EXPECT_EQ(c.args, c.rest);
    }
    const auto run = runCommand({"-b", "1200", "300", "--demo", "cat", "127.0.0.11", "/etc/version"});
    EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace
}  // namespace lm::cli
