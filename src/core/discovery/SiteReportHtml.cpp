#include "core/discovery/SiteReportHtml.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/discovery/SiteSummary.h"
#include "core/http/Base64.h"
#include "core/http/HtmlText.h"

namespace lm {

namespace {

// 180 mm of content fits the printable width of A4 (210 mm) and Letter (216 mm) with 12 mm margins.
constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src data:; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)";

constexpr std::string_view kStyle = R"(</title>
<style>
body { font: 10.5pt/1.35 "DejaVu Sans", Verdana, sans-serif; color: #111; margin: 0; background: #fff; }
main { max-width: 180mm; margin: 0 auto; padding: 6mm 0; }
h1 { font-size: 18pt; margin: 0 0 2mm; color: #1e2a64; }
h2 { font-size: 13pt; margin: 0 0 2mm; color: #1e2a64; }
h3 { font-size: 10.5pt; margin: 2mm 0 1mm; }
p.taken { margin: 0 0 4mm; color: #555; }
table { border-collapse: collapse; }
th, td { text-align: left; vertical-align: top; padding: 0.4mm 2mm 0.4mm 0; }
th { font-weight: 600; white-space: nowrap; }
.summary { display: flex; flex-wrap: wrap; gap: 4mm 10mm; margin-bottom: 4mm; }
.summary table td.count { text-align: right; }
.failing { color: #a00; }
.fine { color: #060; }
.chart { margin: 2mm 0 4mm; break-inside: avoid; page-break-inside: avoid; }
.chart svg { width: 100%; height: auto; }
.card { display: flex; gap: 4mm; border: 0.3mm solid #888; border-radius: 1.5mm; padding: 3mm;
        margin: 0 0 3mm; break-inside: avoid; page-break-inside: avoid; }
.card.fails { border-color: #a00; }
.picture { flex: none; width: 64mm; }
.picture img { width: 64mm; height: 48mm; object-fit: contain; background: #eee; display: block; }
.picture p { margin: 1mm 0 0; font-size: 8.5pt; color: #555; word-break: break-word; }
.facts { flex: 1; min-width: 0; word-break: break-word; }
ul.ratings { list-style: none; margin: 0; padding: 0; columns: 2; }
.ok { color: #060; }
.no { color: #a00; }
@page { margin: 12mm; }
@media print {
  body { font-size: 9pt; line-height: 1.25; }
  main { padding: 0; }
  h1 { font-size: 16pt; }
  h2 { font-size: 11pt; }
  ul.ratings { columns: 3; }
}
</style>
</head>
<body>
<main>
)";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string dataUri(const std::string& type, std::span<const unsigned char> bytes) {
    return "data:" + type + ";base64," + base64Encoded(bytes);
}

// Shown where a device's picture could not be had: a grey frame with fixed words, never device text.
const std::string& placeholderUri() {
    static const std::string uri = [] {
        const std::string_view svg =
            R"(<svg xmlns="http://www.w3.org/2000/svg" width="320" height="240" viewBox="0 0 320 240">)"
            R"(<rect width="320" height="240" fill="#dddddd"/>)"
            R"(<path d="M110 90h100v70H110z" fill="none" stroke="#999999" stroke-width="6"/>)"
            R"(<circle cx="160" cy="125" r="18" fill="none" stroke="#999999" stroke-width="6"/>)"
            R"(<text x="160" y="195" font-family="sans-serif" font-size="18" text-anchor="middle" )"
            R"(fill="#666666">No picture</text></svg>)";
        return dataUri("image/svg+xml",
                       std::span(reinterpret_cast<const unsigned char*>(svg.data()), svg.size()));
    }();
    return uri;
}

std::string name(const SiteDevice& device) {
    return device.id.empty() ? device.address : device.id;
}

std::string shown(const std::string& text) {
    return text.empty() ? "&mdash;" : htmlEscaped(text);
}

void appendCountTable(std::string& html, const char* heading,
                      const std::map<std::string, std::size_t>& counts) {
    html += "<table><tr><th>";
    html += heading;
    html += "</th><th>Devices</th></tr>\n";
    for (const auto& [key, count] : counts)
        html += "<tr><td>" + htmlEscaped(key) + "</td><td class=\"count\">" + std::to_string(count) +
                "</td></tr>\n";
    html += "</table>\n";
}

void appendSummary(std::string& html, const SiteSummary& summary) {
    html += "<section class=\"summary\">\n<div><h2>" + std::to_string(summary.devices) +
            (summary.devices == 1 ? " device" : " devices") + "</h2>\n";
    if (summary.failing.empty()) {
        html += "<p class=\"fine\">No device fails.</p>\n";
    } else {
        html += "<p class=\"failing\">" + std::to_string(summary.failing.size()) +
                " failing:</p>\n<ul class=\"failing\">\n";
        for (const SiteSummary::Failing& failing : summary.failing)
            html += "<li><b>" + htmlEscaped(failing.id) + "</b>: " + htmlEscaped(failing.reason) + "</li>\n";
        html += "</ul>\n";
    }
    html += "</div>\n<div>";
    appendCountTable(html, "Type", summary.byType);
    html += "</div>\n<div>";
    appendCountTable(html, "Firmware", summary.byFirmware);
    html += "</div>\n</section>\n";
}

// One panel of the chart: a bar per device (in card order), red where the device's own rating fails,
// and a dashed line at the site's median, so an outlier stands out.
struct Panel {
    const char* title;
    const char* unit;
    std::optional<double> SiteDevice::Tests::*value;
    bool SiteDevice::Tests::*ok;
};

void appendPanel(std::string& svg, const std::vector<SiteDevice>& devices, const Panel& panel, int top) {
    constexpr double kLeft = 46, kWidth = 664, kHeight = 110;
    std::vector<double> values;
    for (const SiteDevice& device : devices)
        if (device.tests && (*device.tests.*panel.value)) values.push_back(*(*device.tests.*panel.value));
    const double high = values.empty() ? 1.0 : std::max(*std::max_element(values.begin(), values.end()), 0.0);
    const double scale = high > 0 ? high * 1.1 : 1.0;
    const double base = top + 18 + kHeight;
    svg += "<text x=\"0\" y=\"" + std::to_string(top + 12) + "\" font-size=\"12\" font-weight=\"bold\">" +
           std::string(panel.title) + "</text>\n";
    svg += "<text x=\"" + number(kLeft - 4) + "\" y=\"" + number(base - kHeight + 4) +
           "\" font-size=\"9\" text-anchor=\"end\">" + number(scale) + "</text>\n";
    svg += "<text x=\"" + number(kLeft - 4) + "\" y=\"" + number(base) +
           "\" font-size=\"9\" text-anchor=\"end\">0</text>\n";
    svg += "<line x1=\"" + number(kLeft) + "\" y1=\"" + number(base) + "\" x2=\"" + number(kLeft + kWidth) +
           "\" y2=\"" + number(base) + "\" stroke=\"#888\"/>\n";
    const double step = kWidth / static_cast<double>(std::max<std::size_t>(devices.size(), 1));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const SiteDevice& device = devices[i];
        const double x = kLeft + step * static_cast<double>(i);
        if (devices.size() <= 40)
            svg += "<text x=\"" + number(x + step / 2) + "\" y=\"" + number(base + 10) +
                   "\" font-size=\"8\" text-anchor=\"middle\">" + std::to_string(i + 1) + "</text>\n";
        if (!device.tests || !(*device.tests.*panel.value)) continue;
        // Below zero (a cold site) the bar stays on the axis; its title tells the value.
        const double value = *(*device.tests.*panel.value);
        const double height = std::max(std::max(value, 0.0) / scale * kHeight, 0.5);
        const bool ok = *device.tests.*panel.ok;
        svg += "<rect class=\"" + std::string(ok ? "ok" : "no") + "\" x=\"" + number(x + step * 0.15) +
               "\" y=\"" + number(base - height) + "\" width=\"" + number(std::max(step * 0.7, 0.5)) +
               "\" height=\"" + number(height) + "\" fill=\"" + (ok ? "#3a8f5a" : "#c62828") + "\"><title>" +
               std::to_string(i + 1) + ". " + htmlEscaped(name(device)) + ": " + number(value) + " " +
               panel.unit + "</title></rect>\n";
    }
    if (!values.empty()) {
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                         values.end());
        const double median = values[values.size() / 2];
        const double y = base - median / scale * kHeight;
        svg += "<line x1=\"" + number(kLeft) + "\" y1=\"" + number(y) + "\" x2=\"" + number(kLeft + kWidth) +
               "\" y2=\"" + number(y) + "\" stroke=\"#1e2a64\" stroke-dasharray=\"4 3\"/>\n";
        svg += "<text x=\"" + number(kLeft + kWidth) + "\" y=\"" + number(y - 3) +
               "\" font-size=\"9\" text-anchor=\"end\" fill=\"#1e2a64\">median " + number(median) +
               "</text>\n";
    } else {
        svg += "<text x=\"" + number(kLeft + kWidth / 2) + "\" y=\"" + number(base - kHeight / 2) +
               "\" font-size=\"11\" text-anchor=\"middle\" fill=\"#666\">no reading</text>\n";
    }
}

void appendChart(std::string& html, const std::vector<SiteDevice>& devices) {
    static constexpr Panel kPanels[] = {
        {"Temperature (F)", "F", &SiteDevice::Tests::temperatureF, &SiteDevice::Tests::temperatureOk},
        {"Frame rate (frames per second)", "fps", &SiteDevice::Tests::frameRate,
         &SiteDevice::Tests::frameRateOk},
    };
    html +=
        "<section class=\"chart\">\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 720 300\" "
        "font-family=\"sans-serif\" role=\"img\" aria-label=\"Temperature and frame rate per device\">\n";
    int top = 0;
    for (const Panel& panel : kPanels) {
        appendPanel(html, devices, panel, top);
        top += 150;
    }
    html += "</svg>\n</section>\n";
}

void appendTests(std::string& html, const SiteDevice::Tests& tests) {
    html += "<h3>Tests</h3>\n<p>Production verdict: ";
    if (tests.verdict.empty())
        html += "not tested";
    else
        html += "<b class=\"" + std::string(tests.verdict == "No" ? "no" : "ok") + "\">" +
                htmlEscaped(tests.verdict) + "</b>" +
                (tests.verdict == "(T)" ? " (passed, but ran less than 8 hours)" : "");
    if (tests.temperatureF) html += "; temperature " + number(*tests.temperatureF) + " F";
    if (tests.frameRate) html += "; frame rate " + number(*tests.frameRate) + " fps";
    html += "</p>\n";
    if (!tests.reportComplete)
        html += "<p class=\"no\">Activity report incomplete: " + shown(tests.reportComment) + "</p>\n";
    html += "<ul class=\"ratings\">\n";
    for (const auto& [text, holds] : tests.ratings)
        html += std::string("<li class=\"") + (holds ? "ok\">&#10003; " : "no\">&#10007; ") +
                htmlEscaped(text) + "</li>\n";
    html += "</ul>\n";
}

void appendCard(std::string& html, const SiteDevice& device, std::size_t number, bool fails) {
    html += std::string("<section class=\"card") + (fails ? " fails" : "") + "\">\n<div class=\"picture\">";
    if (!device.picture.empty() && !device.pictureType.empty()) {
        html += "<img src=\"" + dataUri(device.pictureType, device.picture) + "\" alt=\"Picture of " +
                htmlEscaped(name(device)) + "\">";
    } else {
        html += "<img src=\"" + placeholderUri() +
                "\" alt=\"No picture\"><p>No picture: " + shown(device.pictureProblem) + "</p>";
    }
    html += "</div>\n<div class=\"facts\">\n<h2>" + std::to_string(number) + ". " +
            htmlEscaped(name(device)) + "</h2>\n<table>\n";
    const std::pair<const char*, const std::string*> facts[] = {{"ID", &device.id},
                                                                {"MAC", &device.mac},
                                                                {"Address", &device.address},
                                                                {"Type", &device.type},
                                                                {"Firmware", &device.firmware}};
    for (const auto& [label, value] : facts)
        html += std::string("<tr><th>") + label + "</th><td>" + shown(*value) + "</td></tr>\n";
    html += "</table>\n<h3>Settings</h3>\n";
    if (!device.settingsProblem.empty()) {
        html += "<p class=\"no\">Not read: " + htmlEscaped(device.settingsProblem) + "</p>\n";
    } else {
        html += "<table>\n";
        for (const auto& [label, text] : device.settings)
            html += "<tr><th>" + htmlEscaped(label) + "</th><td>" + shown(text) + "</td></tr>\n";
        html += "</table>\n";
    }
    if (device.tests) appendTests(html, *device.tests);
    html += "</div>\n</section>\n";
}

}  // namespace

std::string siteReportHtml(const std::vector<SiteDevice>& devices, const SiteReportOptions& options) {
    const SiteSummary summary = siteSummary(devices);
    std::string html(kHead);
    html += htmlEscaped(options.title);
    html += kStyle;
    html += "<h1>" + htmlEscaped(options.title) + "</h1>\n";
    if (!options.takenAt.empty())
        html += "<p class=\"taken\">Read " + htmlEscaped(options.takenAt) + "</p>\n";
    appendSummary(html, summary);
    if (options.withTests) appendChart(html, devices);
    for (std::size_t i = 0; i < devices.size(); ++i)
        appendCard(html, devices[i], i + 1, !siteDeviceFailure(devices[i]).empty());
    html += "</main>\n</body>\n</html>\n";
    return html;
}

}  // namespace lm
