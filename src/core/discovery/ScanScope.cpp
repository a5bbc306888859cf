#include "core/discovery/ScanScope.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/platform/WholeNumber.h"

namespace lm {

namespace {

// First and last host address, inclusive, in host byte order.
struct Span {
    uint64_t first = 0;
    uint64_t last = 0;
};

std::optional<Span> parseRange(std::string_view text) {
    const auto slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto address = parseIpv4(text.substr(0, slash));
    const auto prefix = parseWholeNumber(text.substr(slash + 1), 0, 32);
    if (!address || !prefix) return std::nullopt;
    const uint64_t size = uint64_t{1} << (32 - *prefix);
    const uint64_t network = ntohl(*address) & ~(size - 1) & 0xffffffffu;
    if (size <= 2) return Span{network, network + size - 1};
    return Span{network + 1, network + size - 2};
}

}  // namespace

std::chrono::seconds ScanScope::sendTime() const {
    const auto sends = static_cast<long long>(packets());
    const long long perSecond = std::max(rate, 1);
    return std::chrono::seconds((sends + perSecond - 1) / perSecond);
}

std::string longScanNote(const ScanScope& scope) {
    const long long seconds = scope.sendTime().count();
    if (seconds <= 60) return {};
    const long long minutes = (seconds + 59) / 60;
    const std::string duration =
        seconds < 3600 ? std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s"
                       : std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
    return "probing " + std::to_string(scope.targets.size()) + " addresses, two packets each at " +
           std::to_string(scope.rate) + " a second, takes about " + duration + " before the scan can end.";
}

bool ScanScope::includes(std::string_view interfaceName) const {
    return interfaces.empty() ||
           std::find(interfaces.begin(), interfaces.end(), interfaceName) != interfaces.end();
}

std::string interfaceLabel(const InterfaceRow& row) {
    return row.name.empty() ? dotted(row.address) : row.name + " (" + dotted(row.address) + ")";
}

std::vector<std::string> chosenInterfaces(const std::vector<std::string>& chosen,
                                          const std::vector<InterfaceRow>& rows, std::string& problem) {
    std::vector<std::string> names;
    for (const auto& wanted : chosen) {
        const auto address = parseIpv4(wanted);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const InterfaceRow& r) {
            return (!r.name.empty() && r.name == wanted) || (address && r.address == *address);
        });
        if (row == rows.end()) {
            problem = "no IPv4 interface \"" + wanted + "\"; this PC has:";
            for (const auto& r : rows)
                problem += "\n  " + interfaceLabel(r);
            if (rows.empty()) problem += " none";
            return {};
        }
        names.push_back(row->name);
    }
    return names;
}

RangeAddresses rangeAddresses(const std::vector<std::string>& ranges) {
    RangeAddresses result;
    std::vector<Span> spans;
    for (const auto& text : ranges) {
        const auto span = parseRange(text);
        if (!span) {
            result.problem = "\"" + text + "\" is not a range such as 192.168.5.0/24";
            return result;
        }
        spans.push_back(*span);
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
    std::vector<Span> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, span.last);
        else
            merged.push_back(span);
    }
    uint64_t total = 0;
    for (const auto& span : merged)
        total += span.last - span.first + 1;
    if (total > ScanScope::kMaxTargets) {
        result.problem = "the ranges hold " + std::to_string(total) + " addresses; at most " +
                         std::to_string(ScanScope::kMaxTargets) + " can be scanned at once";
        return result;
    }
    result.addresses.reserve(total);
    for (const auto& span : merged)
        for (uint64_t a = span.first; a <= span.last; ++a)
            result.addresses.push_back(htonl(static_cast<uint32_t>(a)));
    return result;
}

}  // namespace lm
