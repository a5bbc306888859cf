#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/DiscoveryReply.h"
#include "discovery/SplitString.h"

namespace lm {
namespace {

struct SplitCase {
    std::string text;
    char delimiter;
    std::vector<std::string> fields;
};

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, ProducesFields) {
    const auto& c = GetParam();
    std::vector<std::string> fields = {"left over"};
    splitString(c.text, c.delimiter, fields);
    EXPECT_EQ(fields, c.fields);
}

INSTANTIATE_TEST_SUITE_P(Rules, SplitStringTest,
                         ::testing::Values(SplitCase{"", ' ', {}}, SplitCase{"one", ' ', {"one"}},
                                           SplitCase{"a b", ' ', {"a", "b"}},
                                           SplitCase{"a  b", ' ', {"a", "", "b"}},
                                           SplitCase{" a", ' ', {"", "a"}}, SplitCase{"a ", ' ', {"a"}},
                                           SplitCase{"a  ", ' ', {"a", ""}}, SplitCase{" ", ' ', {""}},
                                           SplitCase{"id=", '=', {"id"}}, SplitCase{"=x", '=', {"", "x"}},
                                           SplitCase{"id=a=b", '=', {"id", "a", "b"}}),
                         [](const auto& p) { return "Case" + std::to_string(p.index); });

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
    const auto reply = DiscoveryReply::parse(
        std::span(reinterpret_cast<const unsigned char*>(c.text.data()), c.text.size()));
    EXPECT_EQ(reply.deviceType, c.type);
    EXPECT_EQ(reply.version, c.version);
    EXPECT_EQ(reply.id, c.id);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Tokens, DiscoveryReplyTest,
    ::testing::Values(ReplyCase{"Full", "P/T-R X V id=I subtype=S", "T S", "V", "I"},
                      ReplyCase{"SingleToken", "P/T-R", "T", "Unknown (probed)", "Unknown"},
                      ReplyCase{"TwoTokens", "P/T-R X", "T", "Unknown (probed)", "Unknown"},
                      ReplyCase{"Empty", "", "Unknown", "Unknown (probed)", "Unknown"},
                      ReplyCase{"NoSlashKeepsHyphen", "Cam-9 X 1.0", "Cam-9", "1.0", "Unknown"},
                      ReplyCase{"HyphenOnlyCutsAfterSlash", "A-B/C-D-E X 1", "C", "1", "Unknown"},
                      ReplyCase{"TwoSubtypes", "P/T X V subtype=a subtype=b", "T a b", "V", "Unknown"},
                      ReplyCase{"IdWithoutEquals", "P/T X V id", "T", "V", "Unknown"},
                      ReplyCase{"IdWithEmptyValue", "P/T X V id=", "T", "V", "Unknown"},
                      ReplyCase{"IdExtraPartsIgnored", "P/T X V id=a=b", "T", "V", "a"},
                      ReplyCase{"LaterIdWins", "P/T X V id=a id=b", "T", "V", "b"},
                      ReplyCase{"KeysAreCaseSensitive", "P/T X V ID=a Subtype=b", "T", "V", "Unknown"},
                      ReplyCase{"PairsBeforeThirdTokenIgnored", "P/T id=a V", "T", "V", "Unknown"},
                      ReplyCase{"DoubleBlankShiftsTokens", "P/T  X V", "T", "X", "Unknown"},
                      ReplyCase{"LeadingBlankGivesEmptyType", " P/T X V", "", "X", "Unknown"},
                      ReplyCase{"EndsAtNul", "P/T X V id=a\0 id=b"s, "T", "V", "a"},
                      ReplyCase{"NulFirst", "\0P/T X V"s, "Unknown", "Unknown (probed)", "Unknown"}),
    [](const auto& p) { return p.param.name; });

TEST(DiscoveryReplyLimits, OnlyTheFirst256BytesCount) {
    std::string text = "P/T X V ";
    text += std::string(256 - text.size() - 4, 'z');  // "id=" straddles the 256-byte limit
    text += " id=late";
    const auto reply =
        DiscoveryReply::parse(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    EXPECT_EQ(reply.id, "Unknown");
    EXPECT_EQ(reply.version, "V");
}

TEST(DiscoveryReplyLimits, TenThousandBlanksAreHarmless) {
    const std::string text(10000, ' ');
    const auto reply =
        DiscoveryReply::parse(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    EXPECT_EQ(reply.deviceType, "");
    EXPECT_EQ(reply.version, "");
    EXPECT_EQ(reply.id, "Unknown");
}

}  // namespace
}  // namespace lm
