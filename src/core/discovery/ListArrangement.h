#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/DeviceRecord.h"

namespace lm {

// How the device list arranges the inventory: the group of each record, the order of the groups,
// and the order of the items. Computed once per rebuild from a snapshot of the records.
class ListArrangement {
public:
    // The columns a list can be grouped or sorted by.
    enum Column { ById = 0, ByAddress = 1, ByType = 2, ByVersion = 3 };

    static constexpr int kUnknownGroupId = 100;
    static constexpr std::string_view kUnknownGroupHeader = "Unknown Type";
    // Ids of the keyed groups are this plus the index of the first record with the key.
    static constexpr int kFirstGroupId = 101;
    // What an address that is not a plain dotted quad counts as when sorting.
    static constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

    struct Group {
        int id = kUnknownGroupId;
        std::string header;
        std::vector<std::size_t> records;  // record indices in item order
    };

    ListArrangement(const std::vector<DeviceRecord>& records, int groupBy, int sortBy, bool descending);

    // "Unknown Type" first, then the keyed groups in group order; empty groups included.
    const std::vector<Group>& groups() const { return groups_; }
    // Every record index, sorted; ties keep inventory order.
    const std::vector<std::size_t>& items() const { return items_; }
    // The group id of each record, by record index.
    int groupId(std::size_t record) const { return groupOf_.at(record); }

    static std::string groupKey(const DeviceRecord& record, int groupBy);
    // Strict weak order of group keys. Grouped by address, keys read as addresses with ".X" as ".0";
    // keys that do not read as one (an address without ".", "1.2.X") come after every address, in
    // byte order among themselves.
    static bool groupBefore(std::string_view a, std::string_view b, int groupBy);
    // -1, 0 or +1: a before b, equal, b before a; negated when descending.
    static int compare(const DeviceRecord& a, const DeviceRecord& b, int sortBy, bool descending);
    // The dotted address as a number, most significant byte first; kNoAddress when it does not
    // convert (a manual entry's ":port", a host name, an empty text).
    static uint32_t addressNumber(std::string_view address);

private:
    std::vector<Group> groups_;
    std::vector<std::size_t> items_;
    std::vector<int> groupOf_;
};

}  // namespace lm
