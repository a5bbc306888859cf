// Telnet processing of single received blocks, without sockets.
#include <gtest/gtest.h>

#include <string>

#include "core/link/TelnetLink.h"

namespace lm {
namespace {

using namespace std::string_literals;

// IAC 255, DONT 254, DO 253, WONT 252, WILL 251, SB 250, SE 240, NOP 241.
TEST(TelnetBlockTest, GivesTextAndAnswer) {
    const struct {
        const char* name;
        std::string block;
        std::string text;
        std::string answer;
        bool complete;
    } cases[] = {
        {"NUL is a line end, CR stays", "ab\r\0cd"s, "ab\r\ncd", "", true},
        {"WILL is refused with DONT, WONT needs no answer", "\xff\xfb\x03\xff\xfc\x01x", "x", "\xff\xfe\x03",
         true},
        {"DO and DONT are refused with WONT in order", "\xff\xfd\x01\xff\xfe\x18", "",
         "\xff\xfc\x01\xff\xfc\x18", true},
        {"subnegotiation body is text", "\xff\xfa\x18\x01\xff\xf0z", "\x01z", "", true},
        {"other command skips two", "x\xff\xf1y", "xy", "", true},
        {"escaped IAC is dropped", "x\xff\xffy", "xy", "", true},
        {"option zero and IAC as option", "\xff\xfd\x00\xff\xfb\xff"s, "", "\xff\xfc\x00\xff\xfe\xff"s, true},
        {"cut after IAC", "ab\xff", "ab", "", false},
        {"cut after WILL drops the block's answer", "\xff\xfd\x01xy\xff\xfb", "xy", "", false},
        {"two-byte command at the end is whole", "a\xff\xf0", "a", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "kept|";
        std::string answer;
        EXPECT_EQ(TelnetLink::processBlock(c.block, text, answer), c.complete);
        EXPECT_EQ(text, "kept|" + c.text);
        EXPECT_EQ(answer, c.answer);
    }
}

}  // namespace
}  // namespace lm
