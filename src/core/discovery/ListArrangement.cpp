#include "core/discovery/ListArrangement.h"

#include <arpa/inet.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/platform/Ipv4.h"

namespace lm {

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

int byteCompare(std::string_view a, std::string_view b) {
    return sign(a.compare(b));
}

std::optional<uint32_t> groupAddress(std::string_view key) {
    if (!key.ends_with(".X")) return std::nullopt;
    std::string address(key.substr(0, key.size() - 1));
    address += '0';
    const auto parsed = parseIpv4(address);
    if (!parsed) return std::nullopt;
    return ntohl(*parsed);
}

}  // namespace

std::string ListArrangement::groupKey(const DeviceRecord& record, int groupBy) {
    switch (groupBy) {
        case ById:
            return record.id.substr(0, 9);
        case ByAddress: {
            const auto dot = record.address.rfind('.');
            if (dot == std::string::npos) return record.address;
            return record.address.substr(0, dot + 1) + "X";
        }
        case ByType:
            return record.deviceType;
        default:
            return record.version;
    }
}

bool ListArrangement::groupBefore(std::string_view a, std::string_view b, int groupBy) {
    if (groupBy == ByAddress) {
        const auto x = groupAddress(a);
        const auto y = groupAddress(b);
        if (x && y && *x != *y) return *x < *y;
        if (x.has_value() != y.has_value()) return x.has_value();
    }
    return a < b;
}

uint32_t ListArrangement::addressNumber(std::string_view address) {
    const auto parsed = parseIpv4(address);
    return parsed ? ntohl(*parsed) : kNoAddress;
}

int ListArrangement::compare(const DeviceRecord& a, const DeviceRecord& b, int sortBy, bool descending) {
    int result = 0;
    switch (sortBy) {
        case ById:
            result = byteCompare(a.id, b.id);
            break;
        case ByAddress: {
            const uint32_t x = addressNumber(a.address);
            const uint32_t y = addressNumber(b.address);
            result = (x > y) - (x < y);
            break;
        }
        case ByType:
            result = byteCompare(a.deviceType, b.deviceType);
            break;
        default:
            result = byteCompare(a.version, b.version);
            break;
    }
    return descending ? -result : result;
}

ListArrangement::ListArrangement(const std::vector<DeviceRecord>& records, int groupBy, int sortBy,
                                 bool descending)
    : groupOf_(records.size(), kUnknownGroupId) {
    // Keys in order of first appearance; each group's id comes from its first record.
    std::unordered_map<std::string, std::size_t> groupOfKey;
    std::vector<Group> keyed;
    std::vector<std::size_t> groupIndex(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto key = groupKey(records[i], groupBy);
        auto [it, inserted] = groupOfKey.try_emplace(key, keyed.size());
        if (inserted) keyed.push_back({kFirstGroupId + static_cast<int>(i), std::move(key), {}});
        groupIndex[i] = it->second;
        groupOf_[i] = keyed[it->second].id;
    }

    items_.resize(records.size());
    for (std::size_t i = 0; i < items_.size(); ++i)
        items_[i] = i;
    std::stable_sort(items_.begin(), items_.end(), [&](std::size_t a, std::size_t b) {
        return compare(records[a], records[b], sortBy, descending) < 0;
    });
    for (const std::size_t i : items_)
        keyed[groupIndex[i]].records.push_back(i);

    std::stable_sort(keyed.begin(), keyed.end(), [groupBy](const Group& a, const Group& b) {
        return groupBefore(a.header, b.header, groupBy);
    });
    groups_.reserve(keyed.size() + 1);
    groups_.push_back({kUnknownGroupId, std::string(kUnknownGroupHeader), {}});
    std::move(keyed.begin(), keyed.end(), std::back_inserter(groups_));
}

}  // namespace lm
