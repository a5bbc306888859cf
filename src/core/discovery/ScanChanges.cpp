#include "core/discovery/ScanChanges.h"

#include <strings.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace lm {

namespace {

std::string matchKey(const DeviceRecord& record) {
    if (::strcasecmp(record.id.c_str(), "Unknown") == 0) return record.id + "@" + record.address;
    return record.id;
}

std::vector<FieldChange> changedFields(const DeviceRecord& before, const DeviceRecord& after) {
    std::vector<FieldChange> fields;
    if (before.address != after.address) fields.push_back({"address", before.address, after.address});
    if (before.deviceType != after.deviceType)
        fields.push_back({"type", before.deviceType, after.deviceType});
    if (before.version != after.version) fields.push_back({"version", before.version, after.version});
    return fields;
}

}  // namespace

std::vector<DeviceChange> scanChanges(const std::vector<DeviceRecord>& previous,
                                      const std::vector<DeviceRecord>& current) {
    // The previous records not yet paired, under their key. Pairs at the same address go first, so
    // an ID that two devices share pairs each with its own.
    std::multimap<std::string, const DeviceRecord*> unpaired;
    for (const auto& record : previous)
        unpaired.emplace(matchKey(record), &record);

    std::vector<DeviceChange> changes;
    const auto pairUp = [&](const DeviceRecord& record, auto pair) {
        auto fields = changedFields(*pair->second, record);
        unpaired.erase(pair);
        if (!fields.empty()) changes.push_back({DeviceChange::Kind::changed, record, std::move(fields)});
    };
    std::vector<const DeviceRecord*> elsewhere, unmatched;
    for (const auto& record : current) {
        const auto [first, last] = unpaired.equal_range(matchKey(record));
        const auto pair = std::find_if(
            first, last, [&](const auto& entry) { return entry.second->address == record.address; });
        if (pair != last)
            pairUp(record, pair);
        else
            elsewhere.push_back(&record);
    }
    for (const DeviceRecord* record : elsewhere) {
        const auto pair = unpaired.find(matchKey(*record));
        if (pair != unpaired.end())
            pairUp(*record, pair);
        else
            unmatched.push_back(record);
    }
    for (const DeviceRecord* record : unmatched)
        changes.push_back({DeviceChange::Kind::added, *record, {}});
    for (const auto& entry : unpaired)
        changes.push_back({DeviceChange::Kind::gone, *entry.second, {}});

    std::sort(changes.begin(), changes.end(), [](const DeviceChange& a, const DeviceChange& b) {
        return std::tie(a.device.id, a.device.address, a.kind) <
               std::tie(b.device.id, b.device.address, b.kind);
    });
    return changes;
}

}  // namespace lm
