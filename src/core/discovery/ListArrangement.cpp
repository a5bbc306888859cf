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

// A record's sort field packed into integers, so that sorting 50,000 records compares numbers:
// an address as its number; a text as its first 16 bytes, big-endian and zero-padded, which order
// as the bytes do, with the whole text compared only when both are longer.
struct PackedKey {
    uint64_t high = 0;
    uint64_t low = 0;
    std::string_view text;

    static constexpr std::size_t kPacked = 16;

    static PackedKey of(const DeviceRecord& record, int sortBy) {
        PackedKey key;
        if (sortBy == ListArrangement::ByAddress) {
            key.high = ListArrangement::addressNumber(record.address);
            return key;
        }
        key.text = sortBy == ListArrangement::ById     ? record.id
                   : sortBy == ListArrangement::ByType ? record.deviceType
                                                       : record.version;
        for (std::size_t i = 0; i < kPacked; ++i) {
            const uint64_t byte = i < key.text.size() ? static_cast<unsigned char>(key.text[i]) : 0;
            (i < 8 ? key.high : key.low) |= byte << (8 * (7 - i % 8));
        }
        return key;
    }

    // -1, 0 or +1 as the fields compare.
    int compare(const PackedKey& other) const {
        if (high != other.high) return high < other.high ? -1 : 1;
        if (low != other.low) return low < other.low ? -1 : 1;
        // Equal so far: a shorter text padded with zeros, or texts that differ beyond the packed bytes.
        if (text.size() <= kPacked && other.text.size() <= kPacked)
            return (text.size() > other.text.size()) - (text.size() < other.text.size());
        return byteCompare(text, other.text);
    }
};

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
    const int result = PackedKey::of(a, sortBy).compare(PackedKey::of(b, sortBy));
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
    std::vector<PackedKey> keys;
    keys.reserve(records.size());
    for (const DeviceRecord& record : records)
        keys.push_back(PackedKey::of(record, sortBy));
    std::stable_sort(items_.begin(), items_.end(), [&keys, descending](std::size_t a, std::size_t b) {
        const int result = keys[a].compare(keys[b]);
        return descending ? result > 0 : result < 0;
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
