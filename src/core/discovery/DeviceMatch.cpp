#include "core/discovery/DeviceMatch.h"

#include <algorithm>

namespace lm {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool contains(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return lowerAscii(a) == lowerAscii(b); }) != text.end();
}

}  // namespace

bool deviceMatches(const DeviceRecord& record, std::string_view search) {
    search = trimmed(search);
    if (search.empty()) return false;
    return contains(record.id, search) || contains(record.address, search) ||
           contains(record.deviceType, search);
}

}  // namespace lm
