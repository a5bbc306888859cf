#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/discovery/PictureFormat.h"
#include "core/discovery/SiteReportHtml.h"
#include "core/discovery/SiteSummary.h"
#include "core/http/Base64.h"
#include "support/TextChecks.h"

namespace lm {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// A JPEG's markers around a frame header of the given size; the scan data is left out, which a
// header check does not look at.
Bytes jpeg(unsigned width, unsigned height, bool end = true) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'J',  'F',  'I',  'F',
               0xFF, 0xDB, 0x00, 0x03, 0x00, 0xFF, 0xC0, 0x00, 0x0B, 0x08};
    b.insert(b.end(), {static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
                       static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width), 0x01, 0x01,
                       0x11, 0x00});
    b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34});
    if (end) b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

Bytes png(uint32_t width, uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (const uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<unsigned char>(v >> shift));
    b.insert(b.end(), {8, 2, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

TEST(Base64, EncodesTheStandardVectors) {
    const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : cases)
        EXPECT_EQ(base64Encoded(bytesOf(plain)), encoded) << plain;
    EXPECT_EQ(base64Encoded(Bytes{0xFF, 0xEF, 0xBE}), "/+++");
}

TEST(PictureFormat, OnlyAPictureWithASaneHeaderPasses) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* type;  // nullptr: refused
        uint32_t width, height;
    };
    Bytes lengthPastEnd = jpeg(640, 480);
    lengthPastEnd[5] = 0x7F;  // the APP0 segment claims more than the file holds
    Bytes scanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
    Bytes noSignature = png(320, 240);
    noSignature[1] = 'Q';
    const Case cases[] = {
        {"a camera's JPEG", jpeg(640, 480), "image/jpeg", 640, 480},
        {"the largest side allowed", jpeg(kMaxPictureSide, 1), "image/jpeg", kMaxPictureSide, 1},
        {"a PNG", png(320, 240), "image/png", 320, 240},
        {"a JPEG cut short", jpeg(640, 480, false), nullptr, 0, 0},
        {"a JPEG of no pixels", jpeg(0, 480), nullptr, 0, 0},
        {"a JPEG that claims too much", jpeg(kMaxPictureSide + 1, 480), nullptr, 0, 0},
        {"a segment running past the end", lengthPastEnd, nullptr, 0, 0},
        {"scan data before any frame header", scanFirst, nullptr, 0, 0},
        {"a PNG bomb", png(5700, 5700), nullptr, 0, 0},
        {"a PNG without its signature", noSignature, nullptr, 0, 0},
        {"an error page", bytesOf("<html><body>404</body></html>"), nullptr, 0, 0},
        {"nothing", {}, nullptr, 0, 0},
        {"only a start marker", {0xFF, 0xD8, 0xFF}, nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        const auto format = pictureFormat(c.bytes);
        if (!c.type) {
            EXPECT_FALSE(format) << c.what;
            continue;
        }
        ASSERT_TRUE(format) << c.what;
        EXPECT_EQ(format->mimeType, c.type) << c.what;
        EXPECT_EQ(format->width, c.width) << c.what;
        EXPECT_EQ(format->height, c.height) << c.what;
    }
}

SiteDevice device(std::string id, std::string type, std::string firmware) {
    SiteDevice d;
    d.id = std::move(id);
    d.address = "192.168.7.20";
    d.type = std::move(type);
    d.firmware = std::move(firmware);
    d.settings = {{"Network", "address from DHCP"}};
    return d;
}

SiteDevice::Tests tests(const std::string& verdict, bool complete = true) {
    SiteDevice::Tests t;
    t.reportComplete = complete;
    t.reportComment = complete ? "Report Complete." : "Unable to establish telnet session.";
    t.verdict = verdict;
    return t;
}

TEST(SiteSummary, CountsByTypeAndFirmwareWithUnknownsTogether) {
    const std::vector<SiteDevice> devices = {
        device("024C55-C20001", "Zelvix", "4.2.1"),   device("024C55-C20002", "Zelvix", "4.1.7"),
        device("024C55-C30003", "Draviel6", "4.2.1"), device("024C55-C30004", "", "Unknown (ARP)"),
        device("024C55-C30005", "unknown", ""),       device("024C55-C30006", "Unknown", "Unknown")};
    const SiteSummary summary = siteSummary(devices);
    EXPECT_EQ(summary.devices, 6u);
    const std::map<std::string, std::size_t> types = {{"Draviel6", 1}, {"Unknown", 3}, {"Zelvix", 2}};
    const std::map<std::string, std::size_t> firmware = {{"4.1.7", 1}, {"4.2.1", 2}, {"Unknown", 3}};
    EXPECT_EQ(summary.byType, types);
    EXPECT_EQ(summary.byFirmware, firmware);
    EXPECT_TRUE(summary.failing.empty());
}

TEST(SiteSummary, ListsEachFailingDeviceOnceWithEveryReason) {
    std::vector<SiteDevice> devices(6, device("024C55-C20001", "Zelvix", "4.2.1"));
    devices[0].id = "passed";
    devices[0].tests = tests("OK");
    devices[1].id = "short run";  // passed, but not for long enough: not a failure
    devices[1].tests = tests("(T)");
    devices[2].id = "failed";
    devices[2].tests = tests("No");
    devices[2].tests->productionFindings = {"Devices ??", "Temperature No (+127.0F)"};
    devices[3].id = "";  // named by its address
    devices[3].address = "192.168.7.44";
    devices[3].settingsProblem = "the device refused the password";
    devices[3].tests = tests("No", false);
    devices[4].id = "no picture";  // a missing picture alone fails nothing
    devices[4].pictureProblem = "no answer from the web server";
    devices[5].id = "untested";  // without the tests, a device read whole passes
    const SiteSummary summary = siteSummary(devices);
    ASSERT_EQ(summary.failing.size(), 2u);
    EXPECT_EQ(summary.failing[0].id, "failed");
    EXPECT_EQ(summary.failing[0].reason, "failed the production test (Devices ??, Temperature No (+127.0F))");
    EXPECT_EQ(summary.failing[1].id, "192.168.7.44");
    EXPECT_EQ(summary.failing[1].reason,
              "settings not read: the device refused the password; activity report incomplete: Unable to "
              "establish telnet session.; failed the production test");
}

// Every text of a device, each in turn hostile: none may leave its place as markup.
TEST(SiteReportHtml, EscapesEveryDeviceText) {
    const std::string hostile = "<script>alert(\"x\")</script>'\"&<img src=x onerror=alert(1)>";
    const std::string escaped =
        "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&#39;&quot;&amp;&lt;img src=x onerror=alert(1)&gt;";
    using Set = void (*)(SiteDevice&, const std::string&);
    const std::pair<const char*, Set> fields[] = {
        {"id", [](SiteDevice& d, const std::string& t) { d.id = t; }},
        {"mac", [](SiteDevice& d, const std::string& t) { d.mac = t; }},
        {"address", [](SiteDevice& d, const std::string& t) { d.address = t; }},
        {"type", [](SiteDevice& d, const std::string& t) { d.type = t; }},
        {"firmware", [](SiteDevice& d, const std::string& t) { d.firmware = t; }},
        {"setting label",
         [](SiteDevice& d, const std::string& t) {
             d.settings = {{t, "x"}};
         }},
        {"setting text",
         [](SiteDevice& d, const std::string& t) {
             d.settings = {{"Names", t}};
         }},
        {"settings problem", [](SiteDevice& d, const std::string& t) { d.settingsProblem = t; }},
        {"picture problem", [](SiteDevice& d, const std::string& t) { d.pictureProblem = t; }},
        {"report comment",
         [](SiteDevice& d, const std::string& t) {
             d.tests = tests("OK", false);
             d.tests->reportComment = t;
         }},
        {"rating",
         [](SiteDevice& d, const std::string& t) {
             d.tests = tests("OK");
             d.tests->ratings = {{t, true}};
         }},
        {"production finding",
         [](SiteDevice& d, const std::string& t) {
             d.tests = tests("No");
             d.tests->productionFindings = {t};
         }},
        {"verdict",
         [](SiteDevice& d, const std::string& t) {
             d.tests = tests("OK");
             d.tests->verdict = t;
             d.tests->temperatureF = 80;
         }},
    };
    for (const auto& [field, set] : fields) {
        SiteDevice d = device("024C55-C20001", "Zelvix", "4.2.1");
        set(d, hostile);
        const std::string html = siteReportHtml({d}, {"Site", "today", true});
        EXPECT_EQ(html.find("<script"), std::string::npos) << field;
        EXPECT_EQ(html.find("<img src=x"), std::string::npos) << field;
        EXPECT_NE(html.find(escaped), std::string::npos) << field;
    }
    const std::string titled = siteReportHtml({}, {"</title><script>x</script>", "", false});
    EXPECT_EQ(titled.find("<script"), std::string::npos);
}

TEST(SiteReportHtml, InlinesPicturesAndNeedsNoNetwork) {
    SiteDevice withPicture = device("024C55-C20001", "Zelvix", "4.2.1");
    withPicture.picture = jpeg(640, 480);
    withPicture.pictureType = "image/jpeg";
    SiteDevice without = device("024C55-C20002", "Zelvix", "4.2.1");
    without.pictureProblem = "the web server answered 404";
    const std::string html = siteReportHtml({withPicture, without}, {});

    EXPECT_NE(html.find("<img src=\"data:image/jpeg;base64," + base64Encoded(withPicture.picture) + "\""),
              std::string::npos);
    EXPECT_NE(html.find("<img src=\"data:image/svg+xml;base64,"), std::string::npos);
    EXPECT_NE(html.find("No picture: the web server answered 404"), std::string::npos);
    // Nothing is fetched when the file is opened, and nothing could be.
    for (const char* outside : {"src=\"http", "href=\"http", "url(", "@import", "<link", "<script"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    EXPECT_NE(html.find("Content-Security-Policy\" content=\"default-src 'none'; img-src data:;"),
              std::string::npos);
    // Cards are kept whole on a printed page.
    EXPECT_NE(html.find("break-inside: avoid"), std::string::npos);
    EXPECT_NE(html.find("@page"), std::string::npos);
}

TEST(SiteReportHtml, ChartsTemperatureAndRateWithTheTestsOnly) {
    std::vector<SiteDevice> devices(3, device("024C55-C20001", "Zelvix", "4.2.1"));
    for (SiteDevice& d : devices)
        d.tests = tests("OK");
    devices[0].tests->temperatureF = 77.0;
    devices[0].tests->temperatureOk = true;
    devices[0].tests->frameRate = 4.1;
    devices[0].tests->frameRateOk = true;
    devices[1].tests->temperatureF = 131.5;  // too hot: its bar stands out
    devices[1].tests->frameRate = 0.2;       // too slow: likewise
    devices[2].tests->frameRate = -3.0;      // a lying device: its bar stays on the axis, its value is told
    // devices[2] has no temperature (a video server's): no bar, no failure
    const std::string withTests = siteReportHtml(devices, {"Site", "", true});
    const auto count = [&withTests](const std::string& text) { return test::occurrences(withTests, text); };
    EXPECT_EQ(count("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox"), 1u);
    EXPECT_EQ(count("<rect class=\"ok\""), 2u);
    EXPECT_EQ(count("<rect class=\"no\""), 3u);
    EXPECT_NE(withTests.find("<title>2. 024C55-C20001: 131.5 F</title>"), std::string::npos);
    EXPECT_NE(withTests.find("<title>2. 024C55-C20001: 0.2 fps</title>"), std::string::npos);
    EXPECT_NE(withTests.find("height=\"0.5\" fill=\"#c62828\"><title>3. 024C55-C20001: -3.0 fps</title>"),
              std::string::npos);
    EXPECT_EQ(siteReportHtml(devices, {"Site", "", false})
                  .find("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox"),
              std::string::npos);
}

}  // namespace
}  // namespace lm
