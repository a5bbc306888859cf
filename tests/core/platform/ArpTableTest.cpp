#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <string>

#include "core/platform/ArpTable.h"

namespace lm {
namespace {

constexpr const char* kHeader =
    "IP address       HW type     Flags       HW address            Mask     Device\n";

TEST(ArpTable, ReadsRowsSortedByAddress) {
    const std::string text = std::string(kHeader) +
                             "10.0.0.20        0x1         0x2         02:4c:55:c8:12:34     *        eth0\n"
                             "10.0.0.3         0x1         0x2         00:11:22:33:44:55     *        eth0\n"
                             "9.255.0.1        0x1         0x0         00:00:00:00:00:00     *        eth1\n";
    const auto rows = parseArpTable(text);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(dotted(rows[0].address), "9.255.0.1");
    EXPECT_EQ(dotted(rows[1].address), "10.0.0.3");
    EXPECT_EQ(dotted(rows[2].address), "10.0.0.20");
    EXPECT_EQ(rows[2].hardwareLength, 6u);
    EXPECT_EQ(rows[2].hardware[0], 0x02);
    EXPECT_EQ(rows[2].hardware[3], 0xc8);
    EXPECT_EQ(rows[2].hardware[5], 0x34);
}

TEST(ArpTable, OddRowsAreDroppedOrMarkedUnreadable) {
    const struct {
        const char* name;
        std::string row;
        std::size_t rows;
        std::size_t hardwareLength;
    } cases[] = {
        {"too few columns", "10.0.0.1 0x1 0x2\n", 0, 0},
        {"bad address", "10.0.0.300 0x1 0x2 02:4c:55:00:00:01 * eth0\n", 0, 0},
        {"short hardware", "10.0.0.1 0x1 0x2 02:4c:55 * eth0\n", 1, 3},
        {"long hardware", "10.0.0.1 0x1 0x2 02:4c:55:00:00:01:02:03:04 * eth0\n", 1, 0},
        {"eight-byte hardware", "10.0.0.1 0x1 0x2 02:4c:55:00:00:01:02:03 * eth0\n", 1, 8},
        {"bad hex digit", "10.0.0.1 0x1 0x2 02:4c:5g:00:00:01 * eth0\n", 1, 0},
        {"three-digit byte", "10.0.0.1 0x1 0x2 02:4c:555:00:00:01 * eth0\n", 1, 0},
        {"empty byte", "10.0.0.1 0x1 0x2 02::55:00:00:01 * eth0\n", 1, 0},
        {"tabs and no newline", "10.0.0.1\t0x1\t0x2\t2:4c:55:0:0:1", 1, 6},
        {"zero byte in row", std::string("10.0.0.1 0x1 0x2 02:4c\0:55:00:00:01\n", 37), 1, 0},
        {"header only", "", 0, 0},
    };
    for (const auto& c : cases) {
        const auto rows = parseArpTable(std::string(kHeader) + c.row);
        ASSERT_EQ(rows.size(), c.rows) << c.name;
        if (c.rows == 0) continue;
        EXPECT_EQ(rows[0].hardwareLength, c.hardwareLength) << c.name;
    }
    EXPECT_TRUE(parseArpTable("").empty());
    EXPECT_FALSE(readArpTable("/nonexistent/arp"));
}

}  // namespace
}  // namespace lm
