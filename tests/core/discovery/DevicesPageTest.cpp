#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/discovery/DevicesPage.h"
#include "support/TextChecks.h"

namespace lm {
namespace {

using test::occurrences;
using test::readFile;

TEST(DevicesPage, OneCellPer320PixelsAndTwoRowsOfTwoForFour) {
    const struct {
        int width;
        std::size_t devices;
        int expected;
    } cases[] = {{1600, 5, 5}, {1919, 8, 5}, {1920, 8, 6}, {640, 4, 2},
                 {639, 4, 1},  {319, 1, 1},  {-640, 3, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(devicesPageCellsPerRow(c.width, c.devices), c.expected) << c.width << " " << c.devices;
}

DeviceRecord device(const char* id, const char* address) {
    DeviceRecord r;
    r.id = id;
    r.address = address;
    return r;
}

TEST(DevicesPage, MatchesTheHandWrittenPages) {
    const struct {
        const char* expectedFile;
        std::vector<DeviceRecord> records;
        int cellsPerRow;
        bool fromBody;  // the head is the same on every page: one file holds it
    } cases[] = {
        {"cameras-three-partial-row.html",
         {device("024C55-C40001", "172.16.0.5"), device("024C55-C60002", "172.16.0.6"),
          device("024C55-C70003", "172.16.0.7")},
         2,
         false},
        {"cameras-hostile.html",
         {device("<script>alert(\"x\")</script>&", "192.168.1.40"),
          device("O'Neil", "10.0.0.9\" onload=\"alert('x')")},
         2,
         true},
    };
    for (const auto& c : cases) {
        const auto expected = readFile(std::filesystem::path(LM_TEST_DATA_DIR) / c.expectedFile);
        ASSERT_FALSE(expected.empty()) << c.expectedFile;
        const auto page = devicesPageText(c.records, c.cellsPerRow, 80);
        EXPECT_EQ(c.fromBody ? page.substr(std::min(page.size(), page.find("<body"))) : page, expected)
            << c.expectedFile;
    }
}

// An empty inventory gives one empty row; no cells per row counts as one.
TEST(DevicesPage, EmptyInventoryAndNoCellsPerRow) {
    const auto page = devicesPageText({}, 3, 80);
    EXPECT_NE(page.find("<table border=1 cellpadding=0 cellspacing=0>\n\n"
                        "<tr class=\"lt\">\n\n</tr>\n\n\n</table>\n</body>\n</html>\n\n"),
              std::string::npos)
        << page;
    const std::vector<DeviceRecord> records{device("a", "10.0.0.1"), device("b", "10.0.0.2")};
    EXPECT_EQ(devicesPageText(records, 0, 80), devicesPageText(records, 1, 80));
    EXPECT_EQ(devicesPageText(records, -3, 80), devicesPageText(records, 1, 80));
}

// Every URL of a cell, the picture's among them, takes the same host and port: the entry's own port,
// else the profile's when it is not 80; anything else in an address is percent-encoded.
TEST(DevicesPage, UrlsCarryThePortAndEncodeTheRest) {
    const struct {
        const char* address;
        uint16_t httpPort;
        const char* url;
    } cases[] = {
        {"10.0.0.1", 80, "http://10.0.0.1"},
        {"10.0.0.1", 8080, "http://10.0.0.1:8080"},
        {"10.0.0.1:81", 8080, "http://10.0.0.1:81"},
        {"fe-1_a.b~c:8080/%20?#", 80, "http://fe-1_a.b~c:8080%2F%2520%3F%23"},
        {"caf\xC3\xA9", 80, "http://caf%C3%A9"},
    };
    for (const auto& c : cases) {
        const auto page = devicesPageText({device("x", c.address)}, 1, c.httpPort);
        const std::string url = c.url;
        for (const std::string& attribute :
             {"codebase=\"" + url + "/\"", "value=\"" + url + "\"", "src=\"" + url + "/image.jpg\"",
              "href=\"" + url + "\"", "href=\"" + url + "/admin.cgi\""})
            EXPECT_EQ(occurrences(page, attribute), 1u) << attribute << "\n" << page;
    }
}

TEST(DevicesPage, WriteReplacesTheFileOrReportsFailure) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("lmtools-page-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "cameras.html";
    std::ofstream(path) << std::string(10000, 'x');
    const auto text = devicesPageText({device("a", "10.0.0.1")}, 1, 80);
    EXPECT_TRUE(writeDevicesPage(path.string(), text));
    EXPECT_EQ(readFile(path), text);
    EXPECT_FALSE(writeDevicesPage((dir / "missing" / "cameras.html").string(), text));
    EXPECT_FALSE(writeDevicesPage(dir.string() + "/", text));
    std::filesystem::remove_all(dir);
    // Opens fine, then every write fails: the error must not be lost.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(writeDevicesPage("/dev/full", text));
    }
}

}  // namespace
}  // namespace lm
