#include <gtest/gtest.h>

#include <string>

#include "discovery/ModelTable.h"

namespace lm {
namespace {

struct CodeCase {
    const char* id;
    int code;
};

class CodeFromIdTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CodeFromIdTest, ReadsFourthPair) {
    EXPECT_EQ(ModelTable::codeFromId(GetParam().id), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Identifiers, CodeFromIdTest,
                         ::testing::Values(CodeCase{"024C55-C81234", 0xC8}, CodeCase{"024c55-c81234", 0xC8},
                                           CodeCase{"024C55-D1", 0xD1}, CodeCase{"024C55-C", 0x0C},
                                           CodeCase{"024C55-", 255}, CodeCase{"024C55C81234", 255},
                                           CodeCase{"Unknown", 255}, CodeCase{"Device  3", 255},
                                           CodeCase{"", 255}, CodeCase{"024C55-G1", 255}),
                         [](const auto& p) { return "Case" + std::to_string(p.index); });

struct NameCase {
    int code;
    const char* name;
};

class NameForCodeTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameForCodeTest, NamesModel) {
    EXPECT_EQ(ModelTable::nameForCode(GetParam().code), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameForCodeTest,
    ::testing::Values(NameCase{191, "Unknown"}, NameCase{192, "Zelvix"}, NameCase{193, "Zelvix"},
                      NameCase{194, "Draviel6"}, NameCase{195, "Pell-Mandor"}, NameCase{196, "ZelvixMP"},
                      NameCase{197, "Quorbent"}, NameCase{198, "Farloomer"}, NameCase{199, "Draviel1"},
                      NameCase{200, "ZelvixXL VGA"}, NameCase{201, "ZelvixXL 1.3MP"},
                      NameCase{202, "ZelvixXL 3MP"}, NameCase{203, "DravielXL 1"},
                      NameCase{204, "DravielXL 12"}, NameCase{205, "DravielXL 1"},
                      NameCase{206, "ZelvixXL 5MP"}, NameCase{207, "DravielXL 2"},
                      NameCase{208, "ZelvixSC 5MP"}, NameCase{209, "ZelvixSC 3MP"}, NameCase{210, "Unknown"},
                      NameCase{255, "Unknown"}, NameCase{-1, "Unknown"}, NameCase{0, "Unknown"}),
    [](const auto& p) { return "Code" + std::to_string(p.index); });

}  // namespace
}  // namespace lm
