#include "core/platform/ArpTable.h"

#include "core/platform/HexDigit.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace lm {

namespace {

// A table larger than this is not a real ARP table; what lies beyond is ignored.
constexpr std::size_t kMaxTableBytes = 4 * 1024 * 1024;

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// "02:4c:55:c8:12:34" -> bytes; false when any byte is not one or two hex digits.
bool parseHardware(std::string_view text, ArpRow& row) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (true) {
        int value = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] != ':') {
            const int h = hexDigitValue(text[i]);
            if (h < 0 || ++digits > 2) return false;
            value = value * 16 + h;
            ++i;
        }
        if (digits == 0 || n == row.hardware.size()) return false;
        row.hardware[n++] = static_cast<uint8_t>(value);
        if (i == text.size()) break;
        ++i;  // the colon
    }
    row.hardwareLength = n;
    return true;
}

}  // namespace

std::vector<ArpRow> parseArpTable(std::string_view text) {
    std::vector<ArpRow> rows;
    bool header = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (header) {  // the column titles
            header = false;
            continue;
        }
        const auto fields = words(line);
        if (fields.size() < 4) continue;
        const auto address = parseIpv4(fields[0]);
        if (!address) continue;
        ArpRow row;
        row.address = *address;
        if (!parseHardware(fields[3], row)) row.hardwareLength = 0;
        if (fields.size() >= 6 && fields[5].size() < IFNAMSIZ) row.device = std::string(fields[5]);
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ArpRow& a, const ArpRow& b) { return ntohl(a.address) < ntohl(b.address); });
    return rows;
}

std::optional<std::vector<ArpRow>> readArpTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    text.resize(kMaxTableBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseArpTable(text);
}

}  // namespace lm
