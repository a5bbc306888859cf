#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/CsvText.h"
#include "discovery/DeviceListFile.h"

namespace lm {
namespace {

TEST(CsvText, QuotesOnlyWhatNeedsIt) {
    const struct {
        std::string text, field;
    } cases[] = {{"", ""},
                 {"plain text", "plain text"},
                 {"a,b", "\"a,b\""},
                 {"say \"hi\"", "\"say \"\"hi\"\"\""},
                 {"cr\r", "\"cr\r\""},
                 {"lf\n", "\"lf\n\""}};
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.text), c.field) << c.text;
}

std::vector<DeviceRecord> twoDevices() {
    std::vector<DeviceRecord> records(2);
    records[0] = {"024C55-C81234",      "10.0.0.5", "ZelvixXL VGA",     "4.2.1", "eth0", "02:4C:55:C8:12:34",
                  "Lumetra/ZelvixXL-2", "VGA",      DeviceSource::probe};
    records[1].id = "Device  1";
    records[1].address = "10.0.0.9:8080";
    records[1].deviceType = "Unknown";
    records[1].version = "Unknown, \"typed\"";
    return records;
}

TEST(DeviceListFile, CsvHasAHeaderAndOneQuotedRowPerDevice) {
    EXPECT_EQ(
        deviceListCsv(twoDevices()),
        "id,address,deviceType,version,mac,product,subtype,interface,source\r\n"
        "024C55-C81234,10.0.0.5,ZelvixXL VGA,4.2.1,02:4C:55:C8:12:34,Lumetra/ZelvixXL-2,VGA,eth0,probe\r\n"
        "Device  1,10.0.0.9:8080,Unknown,\"Unknown, \"\"typed\"\"\",,,,,manual\r\n");
}

TEST(DeviceListFile, JsonReadsBackAsWritten) {
    const auto read = readDeviceListJson(deviceListJson(twoDevices()));
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.records.size(), 2u);
    const auto& r = read.records[0];
    EXPECT_EQ(std::vector<std::string>({r.id, r.address, r.deviceType, r.version, r.interfaceName, r.mac,
                                        r.product, r.subtype, std::string(deviceSourceName(r.source))}),
              std::vector<std::string>({"024C55-C81234", "10.0.0.5", "ZelvixXL VGA", "4.2.1", "eth0",
                                        "02:4C:55:C8:12:34", "Lumetra/ZelvixXL-2", "VGA", "probe"}));
    EXPECT_EQ(read.records[1].version, "Unknown, \"typed\"");
}

TEST(DeviceListFile, ReaderRefusesWhatIsNotAList) {
    const std::string deep = std::string(20, '[') + std::string(20, ']');
    const struct {
        std::string text, error;  // error empty: read, with one device
    } cases[] = {
        {R"([{"id":"A","address":"1.2.3.4","deviceType":"T","version":"1"}])", ""},  // as saved before
        {R"([{"address":"1.2.3.4","id":"A","extra":{"x":[1,{"y":null}]},"n":5}])", ""},
        {"", "not valid JSON (at byte 1)"},
        {R"([{"id":"A","address":"1.2.3.4"},])", "not valid JSON (at byte 33)"},
        {R"({"id":"A"})", "not a list of devices (a JSON array)"},
        {R"("text")", "not a list of devices (a JSON array)"},
        {R"([{"id":"A","address":"1"},7])", "device 2 is a number, not an object"},
        {R"([[]])", "device 1 is an array, not an object"},
        {R"([{"id":"A"}])", "device 1: \"id\" or \"address\" is missing"},
        {R"([{"id":5,"address":"1"}])", "device 1: \"id\" is a number, not text"},
        {R"([{"id":"A","address":["1"]}])", "device 1: \"address\" is not text"},
        {R"([{"id":"A","address":"1","source":"radio"}])", "device 1: unknown \"source\" \"radio\""},
        {"[{\"x\":" + deep + "}]", "nested deeper than 16 levels"},
    };
    for (const auto& c : cases) {
        const auto read = readDeviceListJson(c.text);
        EXPECT_EQ(read.error, c.error) << c.text;
        EXPECT_EQ(read.records.size(), c.error.empty() ? 1u : 0u) << c.text;
    }
}

TEST(DeviceListFile, ReaderStopsAtTheDeviceLimit) {
    std::string text = "[";
    for (std::size_t i = 0; i <= kMaxListDevices; ++i)
        text += R"({"id":"A","address":"1"},)";
    text.back() = ']';
    EXPECT_EQ(readDeviceListJson(text).error, "more than 65536 devices");
    EXPECT_EQ(readDeviceListFile("/nonexistent/list.json").error, "/nonexistent/list.json: cannot be opened");
}

}  // namespace
}  // namespace lm
