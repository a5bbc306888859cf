// The report and the production list as files for scripts: values, not the window's texts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/diag/ActivityReportJson.h"
#include "core/diag/ProductionResults.h"
#include "core/diag/ReadingText.h"

namespace lm {
namespace {

TEST(ReadingText, NumbersAndTextsWithoutPadding) {
    using Json = nlohmann::ordered_json;
    const struct {
        const char* text;
        const char* unit;
        Json number;
    } numbers[] = {
        {"123456", "", 123456}, {" 37 ", "", 37},       {"4.113482", "", 4.113482},
        {"+77.0F", "F", 77.0},  {"-4.5F", "F", -4.5},   {"12.5%", "%", 12.5},
        {"0%", "%", 0},         {"na", "F", nullptr},   {"Ok", "", nullptr},
        {"inf", "", nullptr},   {"nan", "", nullptr},   {"", "", nullptr},
        {"+-3", "", nullptr},   {"1e400", "", nullptr}, {"12abc", "", nullptr},
        {"F", "F", nullptr},    {"0x10", "", nullptr},  {"77.0F", "", nullptr},
    };
    for (const auto& c : numbers)
        EXPECT_EQ(numberValue(c.text, c.unit), c.number) << c.text;
    EXPECT_EQ(textValue(" 4.2.1\r\n"), "4.2.1");
    EXPECT_EQ(textValue(" \t"), nullptr);
}

TEST(ActivityReportJson, ReadingsNotReadAreNull) {
    ActivityReport report;
    report.mac = "024c55-c10001";
    report.ip = "10.0.0.11";
    report.version = "Can't find ROM version!";
    report.uptime = "1 days, 1 hrs, 1 min, 1 sec";
    report.temperature = "na";
    report.watchdog = "No chip!";
    report.processVersion = "None";
    report.frames = "Ok";
    report.rate = "inf";
    report.processShare = "0%";
    report.ratings.tempOk = true;
    const auto json = nlohmann::json::parse(activityReportJson(report));
    EXPECT_EQ(json["id"], "024c55-c10001");
    EXPECT_EQ(json["mac"], "02:4C:55:C1:00:01");
    EXPECT_EQ(json["address"], "10.0.0.11");
    EXPECT_EQ(json["uptime"], 90061);
    EXPECT_EQ(json["processShare"], 0);
    for (const char* key :
         {"version", "temperature", "watchdog", "processVersion", "frames", "rate", "mode", "pid"})
        EXPECT_TRUE(json[key].is_null()) << key << " " << json[key];
    EXPECT_EQ(json["comments"], "Static");
    EXPECT_EQ(json["ratings"]["tempOk"], true);
    EXPECT_EQ(json["ratings"]["megaPix"], false);

    // A report whose device never told its ID (the probe went unanswered) names no ID and no MAC.
    report.mac = "Unknown";
    const auto unnamed = nlohmann::json::parse(activityReportJson(report));
    EXPECT_TRUE(unnamed["id"].is_null());
    EXPECT_TRUE(unnamed["mac"].is_null());
    report.mac = "Device  1";
    EXPECT_TRUE(nlohmann::json::parse(activityReportJson(report))["mac"].is_null());
}

TEST(ProductionResults, CsvKeepsTheTitlesJsonNamesTheDevice) {
    std::vector<ProductionRow> rows(2);
    rows[0].id = "024C55-C00000";
    rows[0].address = "10.0.0.10";
    rows[0].cells = {"OK  024C55-C00000", "OK (8hrs)", "OK", "OK",     "OK",    "OK",
                     "OK (+77.0F)",       "OK",        "OK", " 4.2.1", "1.05A", ""};
    rows[0].verdict = ProductionVerdict::Passed;
    rows[1].address = "10.0.0.99";  // never answered the probe
    rows[1].cells[1] = "Timeout";
    rows[1].verdict = ProductionVerdict::Failed;

    EXPECT_EQ(productionResultsCsv(rows),
              "MAC,Duration,Rate,Exposure,PID,Devices,Temperature,Errors,Versions,Firmware,Watchdog,Imaging,"
              "Verdict\r\n"
              "024C55-C00000,OK (8hrs),OK,OK,OK,OK,OK (+77.0F),OK,OK,4.2.1,1.05A,,OK\r\n"
              "10.0.0.99,Timeout,,,,,,,,,,,No\r\n");
    const auto json = nlohmann::json::parse(productionResultsJson(rows));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["id"], "024C55-C00000");
    EXPECT_EQ(json[0]["firmware"], "4.2.1");
    EXPECT_TRUE(json[0]["imaging"].is_null());
    EXPECT_EQ(json[0]["verdict"], "OK");
    EXPECT_TRUE(json[1]["id"].is_null());
    EXPECT_EQ(json[1]["address"], "10.0.0.99");
    EXPECT_EQ(json[1]["duration"], "Timeout");
    EXPECT_EQ(json[1]["verdict"], "No");
    EXPECT_FALSE(json[0].contains("MAC"));
}

// Device text is quoted or defused rather than splitting a record or becoming a spreadsheet
// formula, and bytes that are not UTF-8 still give JSON that parses.
TEST(ProductionResults, DeviceTextStaysInItsCell) {
    std::vector<ProductionRow> rows(1);
    rows[0].id = "024C55-C20002";
    rows[0].cells = {"OK  024C55-C20002", "9.1", ".52",     "1200, auto", "12", "3",
                     "=HYPERLINK(1)",     "0",   "4.2\xff", "",           "",   ""};
    const std::string csv = productionResultsCsv(rows);
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2),
              "024C55-C20002,9.1,.52,\"1200, auto\",12,3,'=HYPERLINK(1),0,4.2\xff,,,,\r\n");
    const auto json = nlohmann::json::parse(productionResultsJson(rows));
    EXPECT_EQ(json[0]["versions"], "4.2\xEF\xBF\xBD");
    EXPECT_EQ(json[0]["exposure"], "1200, auto");
}

}  // namespace
}  // namespace lm
