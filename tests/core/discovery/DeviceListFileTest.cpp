#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/discovery/CsvText.h"
#include "core/discovery/DeviceListFile.h"
#include "core/discovery/ScanChanges.h"

namespace lm {
namespace {

std::vector<DeviceRecord> twoDevices() {
    std::vector<DeviceRecord> records(2);
    records[0] = {"024C55-C81234",      "10.0.0.5", "ZelvixXL VGA",     "4.2.1", "eth0", "02:4C:55:C8:12:34",
                  "Lumetra/ZelvixXL-2", "VGA",      DeviceSource::probe};
    records[1].id = "Device  1";
    records[1].address = "10.0.0.9:8080";
    records[1].version = "Unknown, \"typed\"\r\n";
    return records;
}

TEST(DeviceListFile, CsvHasAHeaderAndOneQuotedRowPerDevice) {
    EXPECT_EQ(
        deviceListCsv(twoDevices()),
        "id,address,deviceType,version,mac,product,subtype,interface,source\r\n"
        "024C55-C81234,10.0.0.5,ZelvixXL VGA,4.2.1,02:4C:55:C8:12:34,Lumetra/ZelvixXL-2,VGA,eth0,probe\r\n"
        ",10.0.0.9:8080,,\"Unknown, \"\"typed\"\"\r\n\",,,,,manual\r\n");
    EXPECT_EQ(deviceListCsv(readDeviceListJson(deviceListJson(twoDevices())).records),
              deviceListCsv(twoDevices()))
        << "JSON reads back as written";
}

// A device's text opened in a spreadsheet must stay text: no cell starts a formula.
TEST(DeviceListFile, CsvCellsNeverStartAFormula) {
    const struct {
        const char* text;
        const char* cell;
    } cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1", "'+1"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"=1,2", "\"'=1,2\""},
        {"4.2.1", "4.2.1"},
        {" =not first", " =not first"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.text), c.cell) << c.text;
    std::vector<DeviceRecord> records(1);
    records[0].id = "024C55-C81234";
    records[0].version = "=cmd|' /C calc'!A0";
    EXPECT_NE(deviceListCsv(records).find(",'=cmd|' /C calc'!A0,"), std::string::npos)
        << deviceListCsv(records);
}

// A stand-in the list shows is no value: JSON says null, CSV leaves the cell empty, and the file
// reads back to records that compare equal with this scan's as a file keeps them.
TEST(DeviceListFile, StandInsAreWrittenAsNull) {
    DeviceRecord arp;
    arp.id = "024C55-C20007";
    arp.address = "10.0.0.7";
    arp.deviceType = "Draviel6";
    arp.version = std::string(kArpOnlyVersion);
    arp.mac = "02:4C:55:C2:00:07";
    arp.source = DeviceSource::arp;
    DeviceRecord unnamed;  // a reply without an ID, of a model not in the table
    unnamed.id = "UNKNOWN";
    unnamed.address = "10.0.0.8";
    unnamed.deviceType = "Unknown";
    unnamed.version = "Unknown";
    unnamed.source = DeviceSource::probe;
    const auto records = std::vector<DeviceRecord>{arp, unnamed, twoDevices()[1]};
    const auto json = nlohmann::json::parse(deviceListJson(records));
    const struct {
        std::size_t device;
        const char* key;
        nlohmann::json value;
    } cases[] = {
        {0, "id", "024C55-C20007"}, {0, "version", nullptr},         {0, "deviceType", "Draviel6"},
        {0, "product", nullptr},    {0, "subtype", nullptr},         {0, "interface", nullptr},
        {1, "id", nullptr},         {1, "deviceType", nullptr},      {1, "version", nullptr},
        {2, "id", nullptr},         {2, "address", "10.0.0.9:8080"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(json.at(c.device).at(c.key), c.value) << c.device << " " << c.key;
    EXPECT_EQ(deviceListCsv(records).substr(deviceListCsv(records).find("\r\n") + 2, 41),
              "024C55-C20007,10.0.0.7,Draviel6,,02:4C:55");

    const auto read = readDeviceListJson(json.dump());
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[1].id, "Unknown") << "an ID read as null still pairs by address";
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_TRUE(scanChanges({read.records[i]}, {savedForm(records[i])}).empty()) << i;
    EXPECT_EQ(readDeviceListJson(R"([{"id":"A","address":null}])").error,
              "device 1: \"address\" is null, not text");
    // So an address, even an empty or odd one read from a file, is written as text: never a file
    // this program cannot read back.
    for (const char* address : {"", "Unknown"}) {
        DeviceRecord odd;
        odd.id = "T";
        odd.address = address;
        const auto again = readDeviceListJson(deviceListJson({odd}));
        ASSERT_TRUE(again.ok()) << again.error;
        EXPECT_EQ(again.records.at(0).address, address);
    }
}

TEST(DeviceListFile, ReaderRefusesWhatIsNotAList) {
    const struct {
        std::string text, error;  // error empty: read, with one device
    } cases[] = {
        {R"([{"id":"A","address":"1.2.3.4","deviceType":"T","version":"1"}])", ""},  // as saved before
        {R"([{"address":"1","id":"A","extra":{"x":[1,{"y":null}]},"n":5}])", ""},
        {"", "not valid JSON (at byte 1)"},
        {R"([{"id":"A","address":"1"},7])", "device 2 is a number, not an object"},
        {R"([{"id":"A"}])", "device 1: \"id\" or \"address\" is missing"},
        {R"([{"id":"A","address":["1"]}])", "device 1: \"address\" is not text"},
        {R"([{"id":"A","address":"1","source":"radio"}])", "device 1: unknown \"source\" \"radio\""},
        {"[{\"x\":" + std::string(20, '[') + std::string(20, ']') + "}]", "nested deeper than 16 levels"},
    };
    for (const auto& c : cases) {
        const auto read = readDeviceListJson(c.text);
        EXPECT_EQ(read.error, c.error) << c.text;
        EXPECT_EQ(read.records.size(), c.error.empty() ? 1u : 0u) << c.text;
    }
    std::string many = "[";
    for (std::size_t i = 0; i <= kMaxListDevices; ++i)
        many += R"({"id":"A","address":"1"},)";
    many.back() = ']';
    EXPECT_EQ(readDeviceListJson(many).error, "more than 65536 devices");
}

// From "id address type version" per device; the MAC differs, and no change may come of it.
std::vector<DeviceRecord> devices(const std::vector<std::string>& rows, const char* mac) {
    std::vector<DeviceRecord> records;
    for (const auto& row : rows) {
        DeviceRecord& r = records.emplace_back();
        std::istringstream(row) >> r.id >> r.address >> r.deviceType >> r.version;
        r.mac = mac;
    }
    return records;
}

TEST(ScanChanges, MatchesByIdAndNamesWhatChanged) {
    const struct {
        std::vector<std::string> previous, current;
        std::vector<std::string> changes;  // "+", "-" or "~", ID, address, then each field changed
    } cases[] = {
        {{"A 10.0.0.1 T 1", "B 10.0.0.2 T 1"}, {"B 10.0.0.2 T 1", "A 10.0.0.1 T 1"}, {}},
        {{"C 10.0.0.3 T 1", "A 10.0.0.1 T 1"},
         {"B 10.0.0.2 T 1", "A 10.0.0.9 U 2"},
         {"~ A 10.0.0.9 address:10.0.0.1>10.0.0.9 type:T>U version:1>2", "+ B 10.0.0.2", "- C 10.0.0.3"}},
        // An ID of "Unknown" says nothing: such devices match by address too.
        {{"Unknown 10.0.0.1 T 1", "unknown 10.0.0.2 T 1"},
         {"Unknown 10.0.0.1 T 2", "Unknown 10.0.0.3 T 1"},
         {"~ Unknown 10.0.0.1 version:1>2", "+ Unknown 10.0.0.3", "- unknown 10.0.0.2"}},
        // An ID two devices share pairs at its own address first, and pairs once.
        {{"X 10.0.0.1 T 1"}, {"X 10.0.0.5 T 1", "X 10.0.0.1 T 1"}, {"+ X 10.0.0.5"}},
        {{"X 10.0.0.1 T 1", "X 10.0.0.2 T 1"},
         {"X 10.0.0.7 T 1"},
         {"- X 10.0.0.2", "~ X 10.0.0.7 address:10.0.0.1>10.0.0.7"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        for (const auto& change :
             scanChanges(devices(c.previous, ""), devices(c.current, "02:4C:55:00:00:01"))) {
            std::string line =
                "+-~"[static_cast<int>(change.kind)] + (" " + change.device.id) + " " + change.device.address;
            for (const auto& f : change.fields)
                line += " " + f.name + ":" + f.before + ">" + f.after;
            lines.push_back(line);
        }
        EXPECT_EQ(lines, c.changes) << c.current.size();
    }
}

}  // namespace
}  // namespace lm
