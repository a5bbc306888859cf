// The rules of an address plan: the range and the file each give every device one address, and a
// plan that would leave a device unreachable or on an address in use is refused before anything is sent.
#include "core/wizard/AddressPlan.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace lm {
namespace {

const std::vector<BatchDevice> kDevices{
    {"10.0.0.7", "024C55-C20003", "Draviel6"},
    {"10.0.0.5", "024C55-C20001", "Draviel6"},
    {"10.0.0.6", "024C55-C20002", "Kestrel"},
};
const std::vector<InterfaceRow> kInterfaces{
    {*parseIpv4("10.0.0.1"), *parseIpv4("255.255.255.0"), *parseIpv4("10.0.0.255"), "eth0"}};

// A row as one line, to compare plans whole.
std::string text(const PlannedAddress& row) {
    return row.device.id + "@" + row.device.host + " -> " + row.address + "/" + row.netmask + " gw " +
           row.gateway + " name " + row.hostname;
}
std::vector<std::string> texts(const std::vector<PlannedAddress>& plan) {
    std::vector<std::string> lines;
    for (const PlannedAddress& row : plan)
        lines.push_back(text(row));
    return lines;
}

std::vector<PlannedAddress> rangePlan(const std::string& range,
                                      const PlanDefaults& defaults = {"255.255.255.0", "", ""}) {
    std::vector<PlannedAddress> plan;
    const auto parsed = parseAddressRange(range);
    EXPECT_TRUE(parsed) << range;
    EXPECT_EQ(planFromRange(kDevices, parsed->first, parsed->second, defaults, plan), "");
    return plan;
}

TEST(AddressPlanTest, RangeGivesAddressesInIdOrder) {
    const auto plan = rangePlan("10.0.0.50-10.0.0.60", {"255.255.255.0", "10.0.0.1", "cam-{n:02}"});
    ASSERT_EQ(plan.size(), 3u);
    const std::vector<std::string> wanted{
        "024C55-C20001@10.0.0.5 -> 10.0.0.50/255.255.255.0 gw 10.0.0.1 name cam-01",
        "024C55-C20002@10.0.0.6 -> 10.0.0.51/255.255.255.0 gw 10.0.0.1 name cam-02",
        "024C55-C20003@10.0.0.7 -> 10.0.0.52/255.255.255.0 gw 10.0.0.1 name cam-03",
    };
    EXPECT_EQ(texts(plan), wanted);
    EXPECT_EQ(planProblem(plan, kInterfaces, [](const std::string&) { return false; }), "");

    // A range reaching past the end of an octet carries into the next one.
    const auto carried = rangePlan("10.0.0.254-10.0.1.10");
    EXPECT_EQ(carried[2].address, "10.0.1.0");
}

TEST(AddressPlanTest, RangesRefused) {
    for (const char* text : {"10.0.0.9-10.0.0.5", "10.0.0.5", "10.0.0.5-", "10.0.0.5-10.0.0.256", "a-b", ""})
        EXPECT_FALSE(parseAddressRange(text)) << text;
    std::vector<PlannedAddress> plan;
    const auto two = *parseAddressRange("10.0.0.50-10.0.0.51");
    EXPECT_EQ(planFromRange(kDevices, two.first, two.second, {}, plan),
              "the range holds 2 addresses for 3 devices");
    EXPECT_TRUE(plan.empty());
}

TEST(AddressPlanTest, HostnamePatterns) {
    struct Case {
        const char* pattern;
        int n;
        const char* name;  // empty: refused
    };
    const Case cases[] = {
        {"cam-{n}", 7, "cam-7"},
        {"cam-{n:02}", 7, "cam-07"},
        {"cam-{n:02}", 123, "cam-123"},
        {"cam{n:03}x", 4, "cam004x"},
        {"lobby", 1, "lobby"},
        {"cam-{m}", 1, ""},
        {"cam-{n", 1, ""},
        {"cam-}", 1, ""},
        {"cam-{n:2}", 1, ""},
        {"cam {n}", 1, ""},
        {"cam;reboot{n}", 1, ""},
        {"-cam{n}", 1, ""},
        {"cam_{n}", 1, ""},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(hostnameFromPattern(c.pattern, c.n, why), c.name) << c.pattern;
        EXPECT_EQ(why.empty(), *c.name != '\0') << c.pattern << ": " << why;
    }
    std::string why;
    EXPECT_EQ(hostnameFromPattern(std::string(64, 'a'), 1, why), "");
}

TEST(AddressPlanTest, FileRowsAndTheirFaults) {
    const std::string header = "id,ipAddress,netmask,gateway,hostname\n";
    struct Case {
        std::string text;
        std::string problem;  // a part of it; empty: read and planned
    };
    const std::vector<Case> cases{
        {header + "024C55-C20002,10.0.0.40,,,gate\r\n024C55-C20001,10.0.0.41,255.255.255.0,10.0.0.1,\n", ""},
        {"024C55-C20002,10.0.0.40,,,\n", "must be the header"},
        {"", "header id,ipAddress,netmask,gateway,hostname is missing"},
        {header, "has no rows"},
        {header + "024C55-C20002,10.0.0.40,,\n", "line 2 has 4 cells"},
        {header + "024C55-C20009,10.0.0.40,,,\n", "no device with ID 024C55-C20009"},
        {header + "cam-1,10.0.0.40,,,\n", "\"cam-1\" is not a device ID"},
        {header + "024C55-C20002,10.0.0.40,,,\n024C55-C20002,10.0.0.41,,,\n",
         "line 3: 024C55-C20002 is planned twice"},
        {header + "024C55-C20002,10.0.0.400,255.255.255.0,,\n", "\"10.0.0.400\" is not an address"},
        {header + "024C55-C20002,10.0.0.40,255.0.255.0,,\n", "is not a netmask"},
        {header + "024C55-C20002,10.0.0.40,255.255.255.0,,cam$(reboot)\n", "hostname \"cam$(reboot)\""},
        {header + "024C55-C20002,10.0.0.40,255.255.255.0,10.0.1.1,\n", "gateway 10.0.1.1 is outside"},
        {header + std::string(2000, 'x') + "\n", "line 2 is too long"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        std::vector<PlanFileRow> rows;
        std::string problem = readPlanFile(in, rows);
        std::vector<PlannedAddress> plan;
        if (problem.empty()) problem = planFromFile(kDevices, rows, {"", "", ""}, plan);
        if (c.problem.empty()) {
            EXPECT_EQ(problem, "") << c.text;
            ASSERT_EQ(plan.size(), 2u);
            // The file's order, and the netmask the file leaves out from the interface reaching it.
            EXPECT_EQ(plan[0].device.id, "024C55-C20002");
            EXPECT_EQ(plan[0].hostname, "gate");
            EXPECT_EQ(plan[1].gateway, "10.0.0.1");
            takeInterfaceNetmask(plan, kInterfaces);
            EXPECT_EQ(plan[0].netmask, "255.255.255.0");
            EXPECT_EQ(planProblem(plan, kInterfaces, {}), "");
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << "\ngave: " << problem;
        }
    }
}

TEST(AddressPlanTest, PlansRefusedBeforeAnythingIsSent) {
    const auto sound = [] {
        return std::vector<PlannedAddress>{
            {kDevices[1], "10.0.0.50", "255.255.255.0", "", "cam-01"},
            {kDevices[2], "10.0.0.51", "255.255.255.0", "", "cam-02"},
        };
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<PlannedAddress>&)> change;
        std::string problem;
    };
    const std::vector<Case> cases{
        {"sound", [](auto&) {}, ""},
        {"duplicate", [](auto& p) { p[1].address = "10.0.0.50"; },
         "10.0.0.50 is planned for both 024C55-C20001 and 024C55-C20002"},
        {"answering", [](auto& p) { p[1].address = "10.0.0.99"; },
         "10.0.0.99 already answers on the network"},
        {"held by another planned device", [](auto& p) { p[1].address = "10.0.0.5"; },
         "10.0.0.5 is held now by 024C55-C20001"},
        {"outside without gateway", [](auto& p) { p[0].address = "10.0.1.50"; },
         "outside the network this computer reaches it on"},
        {"not reached by any interface", [](auto& p) { p[0].device.host = "192.168.9.9"; },
         "outside the network"},
        {"network address", [](auto& p) { p[0].address = "10.0.0.0"; },
         "is the network's or its broadcast address"},
        {"broadcast address", [](auto& p) { p[0].address = "10.0.0.255"; },
         "is the network's or its broadcast address"},
        {"multicast", [](auto& p) { p[0].address = "224.0.0.5"; }, "not an address a device can hold"},
        {"no netmask", [](auto& p) { p[0].netmask.clear(); }, "no netmask is given"},
        {"refused name", [](auto& p) { p[0].hostname = "a b"; }, "hostname \"a b\""},
    };
    for (const Case& c : cases) {
        auto plan = sound();
        c.change(plan);
        std::set<std::string> asked;
        const std::string problem = planProblem(plan, kInterfaces, [&](const std::string& address) {
            asked.insert(address);
            return address == "10.0.0.99";
        });
        if (c.problem.empty())
            EXPECT_EQ(problem, "") << c.what;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
        // The network is asked only about a plan that is otherwise sound.
        if (c.problem.empty() || std::string(c.what) == "answering")
            EXPECT_FALSE(asked.empty()) << c.what;
        else
            EXPECT_TRUE(asked.empty() || std::string(c.what) == "held by another planned device") << c.what;
    }

    // Off the interface's network with a gateway is fine; the device's own address is not asked about.
    auto routed = sound();
    routed[0].address = "10.0.1.50";
    routed[0].gateway = "10.0.1.1";
    routed[1].address = routed[1].device.host;
    std::set<std::string> asked;
    EXPECT_EQ(planProblem(routed, kInterfaces, [&](const std::string& a) { return asked.insert(a), true; }),
              "10.0.1.50 already answers on the network: planned for 024C55-C20001");
    EXPECT_EQ(asked, std::set<std::string>{"10.0.1.50"});
}

// Both front ends build and check a plan through one call: the interface's netmask fills the gaps, a
// file's problem names the file, and the network is asked only about a plan that is otherwise sound.
TEST(AddressPlanTest, CheckedPlanFromRangeOrFile) {
    std::vector<std::string> asked;
    const auto answers = [&asked](const std::string& address) {
        asked.push_back(address);
        return address == "10.0.0.42";
    };
    std::vector<PlannedAddress> plan;
    PlanSource range{parseAddressRange("10.0.0.40-10.0.0.49"), {}, {}};
    EXPECT_EQ(checkedPlan(kDevices, range, {}, kInterfaces, answers, plan),
              "10.0.0.42 already answers on the network: planned for 024C55-C20003");
    EXPECT_EQ(asked, (std::vector<std::string>{"10.0.0.40", "10.0.0.41", "10.0.0.42"}));

    asked.clear();
    range.range = parseAddressRange("10.0.0.50-10.0.0.59");
    EXPECT_EQ(checkedPlan(kDevices, range, {}, kInterfaces, answers, plan), "");
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(text(plan[0]), "024C55-C20001@10.0.0.5 -> 10.0.0.50/255.255.255.0 gw  name ");
    EXPECT_EQ(asked.size(), 3u);

    asked.clear();
    PlanSource file{
        std::nullopt,
        {{2, "024C55-C20001", "10.0.0.60", "", "", ""}, {3, "024C55-C20002", "10.0.0.60", "", "", ""}},
        "site.csv"};
    EXPECT_EQ(checkedPlan(kDevices, file, {}, kInterfaces, answers, plan),
              "10.0.0.60 is planned for both 024C55-C20001 and 024C55-C20002");
    file.rows[1].id = "024C55-C29999";
    EXPECT_TRUE(checkedPlan(kDevices, file, {}, kInterfaces, answers, plan).starts_with("site.csv: "));
    EXPECT_TRUE(asked.empty());
}

}  // namespace
}  // namespace lm
