#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "discovery/ScanScope.h"

namespace lm {
namespace {

TEST(RangeAddresses, HostsOfEachRangeMergedWithinTheLimit) {
    const struct {
        std::vector<std::string> ranges;
        std::size_t count;
        const char* first;
        const char* last;
        const char* problem;  // start of the problem, "" for none
    } cases[] = {
        {{"192.168.5.0/24"}, 254, "192.168.5.1", "192.168.5.254", ""},
        {{"192.168.5.77/24"}, 254, "192.168.5.1", "192.168.5.254", ""},  // host bits are ignored
        {{"10.0.0.4/30"}, 2, "10.0.0.5", "10.0.0.6", ""},
        {{"10.0.0.4/31"}, 2, "10.0.0.4", "10.0.0.5", ""},
        {{"10.0.0.9/32"}, 1, "10.0.0.9", "10.0.0.9", ""},
        {{"10.0.0.0/24", "10.0.0.0/23"}, 510, "10.0.0.1", "10.0.1.254", ""},  // overlap counted once
        {{"10.0.1.0/24", "10.0.0.0/24"}, 508, "10.0.0.1", "10.0.1.254", ""},  // sorted
        {{"10.0.0.0/24", "10.0.0.0/24"}, 254, "10.0.0.1", "10.0.0.254", ""},  // duplicates
        {{"10.0.0.0/16", "10.1.0.1/32", "10.1.0.2/32"}, 65536, "10.0.0.1", "10.1.0.2", ""},
        {{"10.0.0.0/16", "10.1.0.0/29"}, 0, "", "", "the ranges hold 65540 addresses"},
        {{"10.0.0.0/15"}, 0, "", "", "the ranges hold 131070 addresses; at most 65536"},
        {{"0.0.0.0/0"}, 0, "", "", "the ranges hold 4294967294 addresses"},
        {{"10.0.0.0/33"}, 0, "", "", "\"10.0.0.0/33\" is not a range such as 192.168.5.0/24"},
        {{"10.0.0.0"}, 0, "", "", "\"10.0.0.0\" is not a range"},
        {{"10.0.0/24"}, 0, "", "", "\"10.0.0/24\" is not a range"},
        {{"10.0.0.0/+8"}, 0, "", "", "\"10.0.0.0/+8\" is not a range"},
    };
    for (const auto& c : cases) {
        const auto result = rangeAddresses(c.ranges);
        const std::string label = c.ranges.front();
        EXPECT_TRUE(result.problem.starts_with(c.problem)) << label << ": " << result.problem;
        ASSERT_EQ(result.addresses.size(), c.count) << label;
        if (c.count == 0) continue;
        EXPECT_EQ(dotted(result.addresses.front()), c.first) << label;
        EXPECT_EQ(dotted(result.addresses.back()), c.last) << label;
        for (std::size_t i = 1; i < result.addresses.size(); ++i)
            ASSERT_LT(ntohl(result.addresses[i - 1]), ntohl(result.addresses[i])) << label;
    }
}

}  // namespace
}  // namespace lm
