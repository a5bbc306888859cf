#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "TextTable.h"
#include "link/SerialLink.h"
#include "platform/IcmpSocket.h"

namespace lm::cli {
namespace {

using test::runCommand;
using test::runDemo;

class CliDemoScan : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IcmpSocket::open())
            GTEST_SKIP() << "no ICMP socket may be opened here, so the scan sends no probe";
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);
    }
    void TearDown() override { ::unsetenv("LMTOOLS_QUIET_MS"); }
};

TEST_F(CliDemoScan, JsonOrTableListsEverySimulatedDevice) {
    const auto run = runDemo({"scan", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto devices = nlohmann::json::parse(run.out);
    ASSERT_TRUE(devices.is_array());
    EXPECT_EQ(devices.size(), 8u);
    std::size_t fromArp = 0;
    for (const auto& d : devices) {
        for (const char* key : {"id", "address", "deviceType", "version"})
            EXPECT_TRUE(d[key].is_string()) << key;
        EXPECT_EQ(d["id"].get<std::string>().rfind("024C55-", 0), 0u) << d.dump();
        if (d["version"] == "Unknown (ARP)") ++fromArp;
    }
    EXPECT_EQ(fromArp, 1u) << "the demo device that ignores probes is found through the ARP table";

    const auto table = runDemo({"scan"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("ID ", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("\n8 devices found.\n"), std::string::npos) << table.out;
}

TEST(Cli, SerialBitRateSwitchIsTakenOutBeforeParsing) {
    const struct {
        std::vector<std::string> args;
        int rate;
        std::vector<std::string> rest;
    } cases[] = {
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

TEST(TextTable, AlignsColumnsAndNeutralisesControlBytes) {
    TextTable table({"ID", "Type"});
    table.addRow({"a\x1b[2J", "long type"});
    table.addRow({"longer id", "t"});
    std::ostringstream out;
    table.print(out);
    EXPECT_EQ(out.str(),
              "ID         Type\n"
              "a?[2J      long type\n"
              "longer id  t\n");
}

}  // namespace
}  // namespace lm::cli
