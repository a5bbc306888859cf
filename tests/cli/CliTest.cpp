#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "TextTable.h"
#include "platform/IcmpSocket.h"

namespace lm::cli {
namespace {

using test::runCommand;

class CliDemoScan : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IcmpSocket::open())
            GTEST_SKIP() << "no ICMP socket may be opened here, so the scan sends no probe";
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);
    }
    void TearDown() override { ::unsetenv("LMTOOLS_QUIET_MS"); }
};

TEST_F(CliDemoScan, JsonListsEverySimulatedDevice) {
    const auto run = runCommand({"--demo", "scan", "--json"});
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
}

TEST_F(CliDemoScan, TablePrintsAlignedColumnsAndCount) {
    const auto run = runCommand({"--demo", "scan"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string heading, first;
    std::getline(lines, heading);
    std::getline(lines, first);
    EXPECT_EQ(heading.rfind("ID", 0), 0u);
    const auto addressColumn = heading.find("IP Address");
    ASSERT_NE(addressColumn, std::string::npos);
    EXPECT_EQ(first.substr(addressColumn, 4), "127.");
    EXPECT_NE(heading.find("Device Type"), std::string::npos);
    EXPECT_NE(heading.find("Version"), std::string::npos);
    EXPECT_NE(run.out.find("\n8 devices found.\n"), std::string::npos) << run.out;
}

TEST(Cli, HelpAndUsageErrors) {
    const auto help = runCommand({"scan", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--json"), std::string::npos);
    const auto none = runCommand({});
    EXPECT_NE(none.status, 0);
    const auto unknown = runCommand({"scan", "--bogus"});
    EXPECT_NE(unknown.status, 0);
    EXPECT_NE(unknown.err.find("--bogus"), std::string::npos);
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
