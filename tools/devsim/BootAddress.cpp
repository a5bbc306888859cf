#include "devsim/BootAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace lm::sim {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The value of KEY=value lines; the last one wins, as when the boot script sources the file.
std::string_view valueOf(std::string_view text, std::string_view key) {
    std::string_view value;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            value = trimmed(line.substr(key.size() + 1));
    }
    return value;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

}  // namespace

std::optional<Ipv4> bootAddressOf(std::string_view ifcfg) {
    const std::string protocol = lowered(valueOf(ifcfg, "BOOTPROTO"));
    if (protocol != "none" && protocol != "static") return std::nullopt;
    const auto address = parseIpv4(valueOf(ifcfg, "IPADDR"));
    if (!address) return std::nullopt;
    const uint32_t first = ntohl(*address) >> 24;
    if (first == 0 || first >= 224) return std::nullopt;
    return address;
}

}  // namespace lm::sim
