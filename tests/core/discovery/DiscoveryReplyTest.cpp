#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/DiscoveryReply.h"
#include "discovery/SplitString.h"

namespace lm {
namespace {

using namespace std::string_literals;

DiscoveryReply parse(const std::string& text) {
    return DiscoveryReply::parse(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

TEST(SplitString, KeepsEmptyFieldsButOneTrailingDelimiter) {
    const struct {
        std::string text;
        char delimiter;
        std::vector<std::string> fields;
    } cases[] = {{"", ' ', {}},        {"a  b", ' ', {"a", "", "b"}},    {" a", ' ', {"", "a"}},
                 {"a ", ' ', {"a"}},   {"a  ", ' ', {"a", ""}},          {" ", ' ', {""}},
                 {"id=", '=', {"id"}}, {"id=a=b", '=', {"id", "a", "b"}}};
    for (const auto& c : cases) {
        std::vector<std::string> fields = {"left over"};
        splitString(c.text, c.delimiter, fields);
        EXPECT_EQ(fields, c.fields) << '"' << c.text << '"';
    }
}

struct ReplyCase {
    std::string name;
    std::string text;
    std::string type;
    std::string version;
    std::string id;
};

class DiscoveryReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DiscoveryReplyTest, ReadsTokens) {
    const auto& c = GetParam();
    const auto reply = parse(c.text);
    EXPECT_EQ(reply.deviceType, c.type);
    EXPECT_EQ(reply.version, c.version);
    EXPECT_EQ(reply.id, c.id);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, DiscoveryReplyTest,
    ::testing::Values(ReplyCase{"Full", "P/T-R X V id=I subtype=S", "T S", "V", "I"},
                      ReplyCase{"SingleToken", "P/T-R", "T", "Unknown (probed)", "Unknown"},
                      ReplyCase{"Empty", "", "Unknown", "Unknown (probed)", "Unknown"},
                      ReplyCase{"NoSlashKeepsHyphen", "Cam-9 X 1.0", "Cam-9", "1.0", "Unknown"},
                      ReplyCase{"HyphenOnlyCutsAfterSlash", "A-B/C-D-E X 1", "C", "1", "Unknown"},
                      ReplyCase{"TwoSubtypes", "P/T X V subtype=a subtype=b", "T a b", "V", "Unknown"},
                      ReplyCase{"IdWithoutEquals", "P/T X V id", "T", "V", "Unknown"},
                      ReplyCase{"IdWithEmptyValue", "P/T X V id=", "T", "V", "Unknown"},
                      ReplyCase{"IdExtraPartsIgnored", "P/T X V id=a=b", "T", "V", "a"},
                      ReplyCase{"PairsBeforeThirdTokenIgnored", "P/T id=a V", "T", "V", "Unknown"},
                      ReplyCase{"DoubleBlankShiftsTokens", "P/T  X V", "T", "X", "Unknown"},
                      ReplyCase{"EndsAtNul", "P/T X V id=a\0 id=b"s, "T", "V", "a"},
                      ReplyCase{"NulFirst", "\0P/T X V"s, "Unknown", "Unknown (probed)", "Unknown"}),
    [](const auto& p) { return p.param.name; });

TEST(DiscoveryReplyLimits, OnlyTheFirst256BytesCount) {
    std::string text = "P/T X V ";
    text += std::string(256 - text.size() - 4, 'z');  // "id=" straddles the 256-byte limit
    text += " id=late";
    const auto reply = parse(text);
    EXPECT_EQ(reply.id, "Unknown");
    EXPECT_EQ(reply.version, "V");
}

}  // namespace
}  // namespace lm
