#include "core/discovery/DevicesPage.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "core/http/HtmlText.h"

namespace lm {

namespace {

constexpr int kCellWidth = 320;

// For the host[:port] part of a URL: anything beyond what a host and port are made of becomes %XX,
// so an address can neither leave its attribute nor change the URL's path or scheme.
std::string urlHost(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool safe = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == ':' ||
                          byte == '_' || byte == '~';
        if (safe) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

void appendCell(std::string& page, const DeviceRecord& record, uint16_t httpPort) {
    const std::string url = "http://" + urlHost(webAddress(record.address, httpPort));
    const std::string shownAddress = htmlEscaped(record.address);
    page += "<td>\n";
    page += "  <table border=0 cellpadding=1 cellspacing=0>\n";
    page += "  <tr><td colspan=2 width=320 height=240>\n";
    page += "  <applet codebase=\"" + url + "/\" code=\"CaptureClient.class\" width=320 height=240>\n";
    page += "  <param name=\"image\" value=\"zelvix.jpg\">\n";
    page += "  <param name=\"delay\" value=\"1\">\n";
    page += "  <param name=\"status\" value=\"0\">\n";
    page += "  <param name=\"statusTextColor\" value=\"#ffffff\">\n";
    page += "  <param name=\"backgroundColor\" value=\"#000000\">\n";
    page += "  <param name=\"url\" value=\"" + url + "\">\n";
    // What browsers without applets show instead: the live picture itself.
    page += "  <img class=\"live\" src=\"" + url + "/image.jpg\" width=320 height=240 alt=\"" + shownAddress +
            "\">\n";
    page += "  </applet></td></tr>\n";
    page += "  <tr><td align=left><a href=\"" + url + "\" target=\"_new\">";
    page += "  <font size=1>" + shownAddress + "<br>" + htmlEscaped(record.id) + "</font></a></td>\n";
    page += "  <td align=right><a href=\"" + url + "/admin.cgi\" target=\"_new\">config</a></td></tr>\n";
    page += "  </table>\n";
    page += "</td>\n";
    page += "\n";
}

}  // namespace

std::string devicesPageText(const std::vector<DeviceRecord>& records, int cellsPerRow, uint16_t httpPort) {
    const auto perRow = static_cast<std::size_t>(std::max(cellsPerRow, 1));
    std::string page =
        "<html>\n"
        "<head>\n"
        "<title>Lumetra Cameras and Video Servers</title>\n"
        " <style>\n"
        " table { font: x-small verdana; }\n"
        " tr.hd { background-color: #1e2a64; font-weight: bold; }\n"
        " tr.lt { background-color: #404040; }\n"
        " tr.dk { background-color: #404040; }\n"
        " a {text-decoration: none; color: silver; font-weight: bold;}\n"
        " a:hover {color: white;}\n"
        " </style>\n"
        " <script>\n"
        " // Each picture is fetched anew a few seconds after the last fetch ended and shown once it has\n"
        " // arrived: one request per device at a time, and no broken picture from a slow device.\n"
        " function later(img) { setTimeout(function () { refresh(img); }, 3000); }\n"
        " function refresh(img) {\n"
        "   var next = new Image();\n"
        "   next.onload = function () { img.src = next.src; later(img); };\n"
        "   next.onerror = function () { later(img); };\n"
        "   next.src = img.src.split(\"?\")[0] + \"?t=\" + Date.now();\n"
        " }\n"
        " document.addEventListener(\"DOMContentLoaded\", function () {\n"
        "   document.querySelectorAll(\"img.live\").forEach(later);\n"
        " });\n"
        " </script>\n"
        "</head>\n"
        "\n"
        "<body bgcolor=\"#1e2a64\">\n"
        "<table border=1 cellpadding=0 cellspacing=0>\n"
        "\n";
    const std::string openRow = "<tr class=\"lt\">\n\n";
    page += openRow;
    std::size_t inRow = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        appendCell(page, records[i], httpPort);
        if (++inRow < perRow) continue;
        page += "</tr>\n\n";
        inRow = 0;
        if (i + 1 < records.size()) page += openRow;
    }
    // A row the devices ran out in (or the empty first row) gets one more empty line.
    if (inRow > 0 || records.empty()) page += "</tr>\n\n\n";
    page += "</table>\n</body>\n</html>\n\n";
    return page;
}

int devicesPageCellsPerRow(int usableWidthPixels, std::size_t deviceCount) {
    int cells = std::max(usableWidthPixels / kCellWidth, 1);
    if (deviceCount == 4 && cells > 2) cells = 2;
    return cells;
}

bool writeDevicesPage(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    // close() flushes: a full disk shows up here, not only in write().
    file.close();
    return !file.fail();
}

}  // namespace lm
