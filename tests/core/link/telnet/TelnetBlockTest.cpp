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
    testing::Values(BlockCase{"PlainText", "abc\r\n", "abc\r\n", "", true},
                    BlockCase{"NulIsLineEndCarriageReturnStays", "ab\r\0cd"s, "ab\r\ncd", "", true},
                    BlockCase{"WillIsRefusedWithDont", "\xff\xfb\x03x", "x", "\xff\xfe\x03", true},
                    BlockCase{"DoIsRefusedWithWont", "\xff\xfd\x01", "", "\xff\xfc\x01", true},
                    BlockCase{"DontIsAnsweredWithWont", "\xff\xfe\x18", "", "\xff\xfc\x18", true},
                    BlockCase{"WontNeedsNoAnswer", "\xff\xfc\x01ok", "ok", "", true},
                    BlockCase{"SubnegotiationBodyIsText", "\xff\xfa\x18\x01\xff\xf0z", "\x01z", "", true},
                    BlockCase{"OtherCommandSkipsTwo",
                              "a\xff\xf1"
                              "b",
                              "ab", "", true},
                    BlockCase{"EscapedIacIsDropped",
                              "a\xff\xff"
                              "b",
                              "ab", "", true},
                    BlockCase{"OptionZeroAndIacAsOption", "\xff\xfd\x00\xff\xfb\xff"s, "",
                              "\xff\xfc\x00\xff\xfe\xff"s, true},
                    BlockCase{"AnswersGatheredInOrder", "\xff\xfd\x01\xff\xfb\x03", "",
                              "\xff\xfc\x01\xff\xfe\x03", true},
                    BlockCase{"CutAfterIac", "ab\xff", "ab", "", false},
                    BlockCase{"CutAfterWill",
                              "\xff\xfd\x01"
                              "ab\xff\xfb",
                              "ab", "", false},
                    BlockCase{"CutAfterSb", "\xff\xfa", "", "", false},
                    BlockCase{"TwoByteCommandAtEndIsWhole", "a\xff\xf0", "a", "", true},
                    BlockCase{"Empty", "", "", "", true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(TelnetBlock, CutKeepsAnswerOfEarlierBlocks) {
    std::string text;
    std::string answer = "\xff\xfe\x05";
    EXPECT_FALSE(TelnetLink::processBlock("\xff\xfd\x01\xff", text, answer));
    EXPECT_EQ(answer, "\xff\xfe\x05");
}

}  // namespace
}  // namespace lm
