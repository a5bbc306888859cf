#include <gtest/gtest.h>

#include <string>

#include "core/discovery/ModelTable.h"

namespace lm {
namespace {

TEST(ModelTable, CodeFromIdReadsTheFourthPair) {
    const struct {
        const char* id;
        int code;
    } cases[] = {{"024C55-C81234", 0xC8}, {"024c55-c81234", 0xC8}, {"024C55-C", 0x0C}, {"024C55-", 255},
                 {"024C55C81234", 255},   {"Device  3", 255},      {"", 255},          {"024C55-G1", 255}};
    for (const auto& c : cases)
        EXPECT_EQ(ModelTable::codeFromId(c.id), c.code) << c.id;
}

TEST(ModelTable, NamesOnlyCodes192To209) {
    const struct {
        int code;
        const char* name;
    } cases[] = {{191, "Unknown"},      {192, "Zelvix"},  {200, "ZelvixXL VGA"}, {205, "DravielXL 1"},
                 {209, "ZelvixSC 3MP"}, {210, "Unknown"}, {255, "Unknown"},      {-1, "Unknown"}};
    for (const auto& c : cases)
        EXPECT_EQ(ModelTable::nameForCode(c.code), c.name) << c.code;
}

}  // namespace
}  // namespace lm
