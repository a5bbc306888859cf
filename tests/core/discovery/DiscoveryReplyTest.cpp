#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/discovery/DiscoveryReply.h"
#include "core/discovery/SplitString.h"

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

TEST(DiscoveryReply, ReadsTokens) {
    const struct {
        std::string text;
        std::string type;
        std::string version;
        std::string id;
    } cases[] = {
        {"P/T-R X V id=I subtype=S", "T S", "V", "I"},
        {"P/T-R", "T", "Unknown (probed)", "Unknown"},
        {"", "Unknown", "Unknown (probed)", "Unknown"},
        {"Cam-9 X 1.0", "Cam-9", "1.0", "Unknown"},  // no slash keeps the hyphen
        {"A-B/C-D-E X 1", "C", "1", "Unknown"},      // the hyphen cuts only after the slash
        {"P/T X V subtype=a subtype=b", "T a b", "V", "Unknown"},
        {"P/T X V id", "T", "V", "Unknown"},
        {"P/T X V id=", "T", "V", "Unknown"},
        {"P/T X V id=a=b", "T", "V", "a"},
        {"P/T id=a V", "T", "V", "Unknown"},  // pairs before the third token are ignored
        {"P/T  X V", "T", "X", "Unknown"},    // a double blank shifts the tokens
        {"P/T X V id=a\0 id=b"s, "T", "V", "a"},
        {"\0P/T X V"s, "Unknown", "Unknown (probed)", "Unknown"},
        // Only the first 256 bytes count: this "id=" straddles the limit.
        {"P/T X V " + std::string(244, 'z') + " id=late", "T", "V", "Unknown"},
    };
    for (const auto& c : cases) {
        const auto reply = parse(c.text);
        EXPECT_EQ(reply.deviceType, c.type) << c.text;
        EXPECT_EQ(reply.version, c.version) << c.text;
        EXPECT_EQ(reply.id, c.id) << c.text;
    }
}

TEST(DiscoveryReply, KeepsProductAndSubtypes) {
    for (const auto& [text, productAndSubtype] : std::vector<std::pair<std::string, std::string>>{
             {"P/T-R X V id=I subtype=S", "P/T-R|S"}, {"P/T X V subtype=a subtype=b", "P/T|a b"}, {"", "|"}})
        EXPECT_EQ(parse(text).product + "|" + parse(text).subtype, productAndSubtype) << text;
}

}  // namespace
}  // namespace lm
