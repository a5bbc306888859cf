#include "discovery/DevicesPage.h"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace lm {

namespace {

constexpr int kCellWidth = 320;

// For text between tags and inside quoted attributes.
std::string htmlText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

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

void appendCell(std::string& page, const DeviceRecord& record) {
    const std::string url = "http://" + urlHost(record.address);
    const std::string shownAddress = htmlText(record.address);
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
    page += "  </applet></td></tr>\n";
    page += "  <tr><td align=left><a href=\"" + url + "\" target=\"_new\">";
    page += "  <font size=1>" + shownAddress + "<br>" + htmlText(record.id) + "</font></a></td>\n";
    page += "  <td align=right><a href=\"" + url + "/admin.cgi\" target=\"_new\">config</a></td></tr>\n";
    page += "  </table>\n";
    page += "</td>\n";
    page += "\n";
}

}  // namespace

std::string devicesPageText(const std::vector<DeviceRecord>& records, int cellsPerRow) {
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
        "</head>\n"
        "\n"
        "<body bgcolor=\"#1e2a64\">\n"
        "<table border=1 cellpadding=0 cellspacing=0>\n"
        "\n";
    const std::string openRow = "<tr class=\"lt\">\n\n";
    page += openRow;
    std::size_t inRow = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        appendCell(page, records[i]);
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
