#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "cli/TextTable.h"
#include "core/link/SerialLink.h"
#include "core/platform/IcmpSocket.h"
#include "support/TextChecks.h"

namespace lm::cli {
namespace {

using lm::test::occurrences;
using test::runCommand;
using test::runDemo;

// The demo's eight simulated devices, scanned with a short quiet period; a folder for pages.
class CliDemoScan : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IcmpSocket::open())
            GTEST_SKIP() << "no ICMP socket may be opened here, so the scan sends no probe";
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        ::unsetenv("LMTOOLS_QUIET_MS");
        std::filesystem::remove_all(dir);
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lmtools-cli-page-" + std::to_string(::getpid()));
};

// --demo and -q work after the command name as before it.
TEST_F(CliDemoScan, JsonOrTableListsEverySimulatedDevice) {
    const auto run = runCommand({"scan", "--json", "--demo", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto devices = nlohmann::json::parse(run.out);
    ASSERT_TRUE(devices.is_array());
    EXPECT_EQ(devices.size(), 8u);
    std::size_t fromArp = 0;
    for (const auto& d : devices) {
        EXPECT_EQ(d["id"].get<std::string>().rfind("024C55-", 0), 0u) << d.dump();
        EXPECT_EQ(d["source"], d["version"].is_null() ? "arp" : "probe");
        if (d["version"].is_null()) ++fromArp;
    }
    EXPECT_EQ(fromArp, 1u) << "the demo device that ignores probes is found through the ARP table";

    const auto table = runDemo({"scan"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("ID ", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("\n8 devices found.\n"), std::string::npos) << table.out;
}

// A saved scan compared with a new one: unchanged exits 0; a changed device is named, and exit 3.
TEST_F(CliDemoScan, DiffNamesWhatChangedSinceASavedScan) {
    const auto saved = runDemo({"scan", "--json", "-q"});
    const auto file = (dir / "previous.json").string();
    std::ofstream(file) << saved.out;
    const auto same = runDemo({"scan", "--diff", file.c_str(), "-q"});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "No change since " + file + " (8 devices).\n");

    auto devices = nlohmann::json::parse(saved.out);
    devices[0]["version"] = "1.0.0";
    std::ofstream(file, std::ios::trunc) << devices.dump();
    const auto diff = runDemo({"scan", "--diff", file.c_str(), "-q"});
    EXPECT_EQ(diff.status, 3) << diff.err;
    EXPECT_EQ(diff.out, "changed: " + devices[0]["id"].get<std::string>() + "  version 1.0.0 -> 4.2.1\n" +
                            "0 added, 0 gone, 1 changed since " + file + ".\n");
}

// Five to a row on a full HD screen; "-" is standard output, not a file; a file that cannot be
// made fails.
TEST_F(CliDemoScan, PageGoesToAFileOrStandardOutput) {
    const auto file = (dir / "all.html").string();
    const auto run = runDemo({"page", "-o", file.c_str()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Wrote " + file + " (8 devices, 5 to a row).\n");
    EXPECT_EQ(run.out, "");
    EXPECT_GT(std::filesystem::file_size(file), 0u);

    const auto shown = runDemo({"page", "--width", "1000", "-o", "-"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("<html>\n<head>\n", 0), 0u);
    // (1000 - 19) / 320 = 3 to a row: the width reaches the page; its layout is the page writer's tests'
    // concern.
    EXPECT_EQ(occurrences(shown.out, "<tr class=\"lt\">\n"), 3u);
    EXPECT_FALSE(std::filesystem::exists("-"));

    // A place that cannot be written is named with the system's reason before any scan starts.
    const auto missing = (dir / "missing" / "cameras.html").string();
    const auto failed = runDemo({"page", "-o", missing.c_str()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "lmtools-cli: Unable to create the file on the desktop.\nlmtools-cli: " + missing +
                              ": No such file or directory\n");
    EXPECT_TRUE(failed.out.empty()) << failed.out;

    // An existing page that can be written is checked without being emptied or removed.
    const auto kept = (dir / "kept.html").string();
    std::ofstream(kept) << "old page";
    const auto again = runDemo({"page", "-o", kept.c_str()});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_GT(std::filesystem::file_size(kept), std::string("old page").size());
}

// Usage errors: exit 64 and one line that names the problem, the command and what would do.
TEST(Cli, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<const char*> args;
        std::string firstErrLine;
    } cases[] = {
        {{"scna"}, "unknown command \"scna\"; did you mean \"scan\"?"},
        {{"--demo", "upgarde", "127.0.0.10"}, "unknown command \"upgarde\"; did you mean \"upgrade\"?"},
        {{"xyzzy"}, "unknown command \"xyzzy\"; lmtools-cli --help lists the commands"},
        {{"config", "shwo", "127.0.0.10"}, "unknown command \"config shwo\"; did you mean \"config show\"?"},
        {{}, "missing COMMAND (usage: lmtools-cli COMMAND ...; lmtools-cli --help lists them)"},
        {{"config"},
         "config: missing COMMAND (usage: lmtools-cli config COMMAND ...; lmtools-cli config --help lists "
         "them)"},
        {{"reboot"}, "reboot: missing HOST (usage: lmtools-cli reboot HOST)"},
        {{"upgrade", "127.0.0.10"}, "upgrade: missing FILE (usage: lmtools-cli upgrade HOST FILE)"},
        {{"cat", "--serial", "COM1"}, "cat: missing PATH (usage: lmtools-cli cat HOST PATH)"},
        {{"run", "--serial", "COM1"}, "run: missing COMMAND (usage: lmtools-cli run HOST -- COMMAND...)"},
        {{"config", "apply", "127.0.0.10"},
         "config apply: missing FILE (usage: lmtools-cli config apply HOST FILE)"},
        {{"production", "--jobs", "0"}, "production: --jobs must be from 1 to 64"},
        {{"page", "--width", "wide"}, "page: --width must be a whole number from 1 to 100000"},
        {{"scan", "--frob"}, "scan: unknown option \"--frob\"; lmtools-cli scan --help lists the options"},
        {{"scan", "--jsno"}, "scan: unknown option \"--jsno\"; did you mean \"--json\"?"},
        {{"--bogus"}, "unknown option \"--bogus\"; lmtools-cli --help lists the options"},
        {{"--demo", "-x", "scan"}, "unknown option \"-x\"; lmtools-cli --help lists the options"},
        {{"reboot", "127.0.0.10", "--passwrd", "x"},
         "reboot: unknown option \"--passwrd\"; did you mean \"--password\"?"},
        {{"config", "show", "127.0.0.10", "--jsn"},
         "config show: unknown option \"--jsn\"; did you mean \"--json\"?"},
        // A value of an option is not taken for an option, nor a negative number.
        {{"reboot", "127.0.0.10", "--password", "-x", "--frob"},
         "reboot: unknown option \"--frob\"; lmtools-cli reboot --help lists the options"},
        {{"page", "--width", "-5"}, "page: --width must be from 1 to 100000"},
        {{"help", "confg"}, "unknown command \"confg\"; did you mean \"config\"?"},
        {{"help", "config", "shwo"}, "unknown command \"config shwo\"; did you mean \"config show\"?"},
        {{"help", "manpage"}, "unknown command \"manpage\"; lmtools-cli --help lists the commands"},
        {{"scan", "--diff", "/nonexistent/previous.json"},
         "scan: /nonexistent/previous.json: cannot be opened"},
        {{"scan", "--range", "10.0.0.0/24", "--range", "10.1.0.0/16"},
         "scan: the ranges hold 65788 addresses; at most 65536 can be scanned at once"},
        {{"scan", "--interface", "no-such0"}, "scan: no IPv4 interface \"no-such0\"; this PC has:"},
        {{"cat", "--serial", "COM1", "-b", "9600"}, "cat: -b takes 1200, or 1200 300 for 300 bit/s"},
        // The shared options after the command and before it: refused input is caught before the
        // demo starts.
        {{"settime", "127.0.0.10", "--demo", "-q", "--password", "a\tb"},
         "settime: the password holds a control character (line end, tab, escape or the like)"},
        {{"-q", "--password", "a\tb", "--demo", "config", "show", "127.0.0.10"},
         "config show: the password holds a control character (line end, tab, escape or the like)"},
    };
    for (const auto& c : cases) {
        const auto run = runCommand(c.args);
        EXPECT_EQ(run.status, 64) << run.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "lmtools-cli: " + c.firstErrLine);
        EXPECT_EQ(run.out, "");
    }
}

// -b is listed only where a serial port is used.
TEST(Cli, HelpListsTheBitRateForSerialCommandsOnly) {
    for (const auto& [command, serial] :
         {std::pair{"cat", true}, {"config apply", true}, {"reboot", false}}) {
        std::vector<const char*> args = {command, "--help"};
        if (command == std::string("config apply")) args = {"config", "apply", "--help"};
        const auto help = runCommand(args);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.find("-b 1200") != std::string::npos, serial) << help.out;
        EXPECT_NE(help.out.find("--demo"), std::string::npos);
    }
}

TEST(Cli, SerialBitRateSwitchIsTakenOutBeforeParsing) {
    const struct {
        std::vector<std::string> args;
        int rate;
        std::vector<std::string> rest;
    } cases[] = {
        {{"-b", "1200", "--demo", "cat"}, 1200, {"--demo", "cat"}},
        {{"cat", "h", "-b", "1200", "300"}, 300, {"cat", "h"}},
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

// Columns line up on a terminal: multibyte text by its characters, CJK as two columns, a
// combining accent as none, bytes that are not UTF-8 as one "?" each.
TEST(TextTable, AlignsColumnsByDisplayWidth) {
    TextTable table({"ID", "Type"});
    table.addRow({"a\x1b[2J", "long type"});
    table.addRow({"longer id", "t"});
    table.addRow({"caf\xc3\xa9 \xe2\x82\xac", "x"});
    table.addRow({"\xe7\x9b\xb8\xe6\x9c\xba", "x"});
    table.addRow({"e\xcc\x81\xff\xc3", "x"});
    std::ostringstream out;
    table.print(out);
    EXPECT_EQ(out.str(),
              "ID         Type\n"
              "a?[2J      long type\n"
              "longer id  t\n"
              "caf\xc3\xa9 \xe2\x82\xac     x\n"
              "\xe7\x9b\xb8\xe6\x9c\xba       x\n"
              "e\xcc\x81??        x\n");
}

}  // namespace
}  // namespace lm::cli
