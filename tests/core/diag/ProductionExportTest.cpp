#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/diag/ProductionExport.h"

using namespace lm;

namespace {

// One device fully tested, one whose test never reached it.
std::vector<ProductionRow> rows() {
    ProductionRow tested;
    tested.id = "024C55-C20002";
    tested.cells = {"OK  024C55-C20002", "9.1", ".52",    "1200, auto", "12",  "3",
                    "=HYPERLINK(1)",     "0",   " 4.2.1", "4.2.1 ",     "1.0", "2.3"};
    tested.verdict = ProductionVerdict::Passed;
    tested.loggedIn = true;
    ProductionRow untested;
    untested.id = "024C55-C20003";
    untested.cells[0] = "??  024C55-C20003";
    return {tested, untested};
}

// The column titles stay the list's, the ID stands alone in the first column, the screen's padding
// goes, and device text is quoted or defused rather than splitting a record or becoming a formula.
TEST(ProductionExport, CsvKeepsTheListsTitles) {
    const std::string csv = productionCsv(rows());
    EXPECT_EQ(csv,
              "MAC,Duration,Rate,Exposure,PID,Devices,Temperature,Errors,Versions,Firmware,Watchdog,Imaging,"
              "Verdict\r\n"
              "024C55-C20002,9.1,.52,\"1200, auto\",12,3,'=HYPERLINK(1),0,4.2.1,4.2.1,1.0,2.3,OK\r\n"
              "024C55-C20003,,,,,,,,,,,,\r\n");
}

// JSON names the ID `id`, and what was not measured is null, not an empty text.
TEST(ProductionExport, JsonUsesIdsAndNulls) {
    const auto array = nlohmann::json::parse(productionJson(rows()));
    ASSERT_EQ(array.size(), 2u);
    EXPECT_EQ(array[0]["id"], "024C55-C20002");
    EXPECT_EQ(array[0]["exposure"], "1200, auto");
    EXPECT_EQ(array[0]["verdict"], "OK");
    EXPECT_EQ(array[0].size(), kProductionColumns + 1);
    EXPECT_EQ(array[1]["id"], "024C55-C20003");
    EXPECT_TRUE(array[1]["duration"].is_null());
    EXPECT_TRUE(array[1]["verdict"].is_null());
    EXPECT_FALSE(array[1].contains("mac"));
}

// A device's bytes that are not UTF-8 still give a file that parses.
TEST(ProductionExport, JsonSurvivesBytesThatAreNotUtf8) {
    auto list = rows();
    list[0].cells[8] = "4.2\xff";
    const auto array = nlohmann::json::parse(productionJson(list));
    EXPECT_EQ(array[0]["versions"], "4.2\xEF\xBF\xBD");
}

}  // namespace
