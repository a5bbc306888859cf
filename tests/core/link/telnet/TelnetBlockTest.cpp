// Telnet processing of single received blocks, without sockets.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "link/TelnetLink.h"

namespace lm {
namespace {

using namespace std::string_literals;

struct BlockCase {
    const char* name;
    std::string block;
    std::string text;
    std::string answer;
    bool complete;
    friend void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }
};

class TelnetBlockTest : public testing::TestWithParam<BlockCase> {};

TEST_P(TelnetBlockTest, GivesTextAndAnswer) {
    const auto& c = GetParam();
    std::string text = "kept|";
    std::string answer;
    EXPECT_EQ(TelnetLink::processBlock(c.block, text, answer), c.complete);
    EXPECT_EQ(text, "kept|" + c.text);
    EXPECT_EQ(answer, c.answer);
}

// IAC 255, DONT 254, DO 253, WONT 252, WILL 251, SB 250, SE 240, NOP 241.
INSTANTIATE_TEST_SUITE_P(
    Rules, TelnetBlockTest,
    testing::Values(BlockCase{"NulIsLineEndCarriageReturnStays", "ab\r\0cd"s, "ab\r\ncd", "", true},
                    BlockCase{"WillIsRefusedWithDontWontNeedsNoAnswer", "\xff\xfb\x03\xff\xfc\x01x", "x",
                              "\xff\xfe\x03", true},
                    BlockCase{"DoAndDontAreRefusedWithWontInOrder", "\xff\xfd\x01\xff\xfe\x18", "",
                              "\xff\xfc\x01\xff\xfc\x18", true},
                    BlockCase{"SubnegotiationBodyIsText", "\xff\xfa\x18\x01\xff\xf0z", "\x01z", "", true},
                    BlockCase{"OtherCommandSkipsTwo", "x\xff\xf1y", "xy", "", true},
                    BlockCase{"EscapedIacIsDropped", "x\xff\xffy", "xy", "", true},
                    BlockCase{"OptionZeroAndIacAsOption", "\xff\xfd\x00\xff\xfb\xff"s, "",
                              "\xff\xfc\x00\xff\xfe\xff"s, true},
                    BlockCase{"CutAfterIac", "ab\xff", "ab", "", false},
                    BlockCase{"CutAfterWillDropsTheBlocksAnswer", "\xff\xfd\x01xy\xff\xfb", "xy", "", false},
                    BlockCase{"TwoByteCommandAtEndIsWhole", "a\xff\xf0", "a", "", true}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace lm
