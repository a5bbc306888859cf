#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/ScanChanges.h"

namespace lm {
namespace {

// "id address type version" per device.
std::vector<DeviceRecord> devices(const std::vector<std::vector<std::string>>& rows) {
    std::vector<DeviceRecord> records;
    for (const auto& row : rows) {
        DeviceRecord r;
        r.id = row[0];
        r.address = row[1];
        r.deviceType = row[2];
        r.version = row[3];
        records.push_back(r);
    }
    return records;
}

// One line per change: "+ id address", "- id address", "~ id address field:before>after ...".
std::vector<std::string> described(const std::vector<DeviceChange>& changes) {
    std::vector<std::string> lines;
    for (const auto& c : changes) {
        std::string line = c.kind == DeviceChange::Kind::added  ? "+ "
                           : c.kind == DeviceChange::Kind::gone ? "- "
                                                                : "~ ";
        line += c.device.id + " " + c.device.address;
        for (const auto& f : c.fields)
            line += " " + f.name + ":" + f.before + ">" + f.after;
        lines.push_back(line);
    }
    return lines;
}

TEST(ScanChanges, MatchesByIdAndNamesWhatChanged) {
    const struct {
        const char* what;
        std::vector<std::vector<std::string>> previous, current;
        std::vector<std::string> changes;
    } cases[] = {
        {"nothing changed, order aside",
         {{"A", "10.0.0.1", "T", "1"}, {"B", "10.0.0.2", "T", "1"}},
         {{"B", "10.0.0.2", "T", "1"}, {"A", "10.0.0.1", "T", "1"}},
         {}},
        {"added, gone and changed, sorted by ID",
         {{"C", "10.0.0.3", "T", "1"}, {"A", "10.0.0.1", "T", "1"}},
         {{"B", "10.0.0.2", "T", "1"}, {"A", "10.0.0.9", "U", "2"}},
         {"~ A 10.0.0.9 address:10.0.0.1>10.0.0.9 type:T>U version:1>2", "+ B 10.0.0.2", "- C 10.0.0.3"}},
        {"Unknown IDs match by address too",
         {{"Unknown", "10.0.0.1", "T", "1"}, {"unknown", "10.0.0.2", "T", "1"}},
         {{"Unknown", "10.0.0.1", "T", "2"}, {"Unknown", "10.0.0.3", "T", "1"}},
         {"~ Unknown 10.0.0.1 version:1>2", "+ Unknown 10.0.0.3", "- unknown 10.0.0.2"}},
        {"a shared ID pairs at its own address first",
         {{"X", "10.0.0.1", "T", "1"}},
         {{"X", "10.0.0.5", "T", "1"}, {"X", "10.0.0.1", "T", "1"}},
         {"+ X 10.0.0.5"}},
        {"a shared ID elsewhere pairs once",
         {{"X", "10.0.0.1", "T", "1"}, {"X", "10.0.0.2", "T", "1"}},
         {{"X", "10.0.0.7", "T", "1"}},
         {"- X 10.0.0.2", "~ X 10.0.0.7 address:10.0.0.1>10.0.0.7"}},
        {"everything new", {}, {{"A", "10.0.0.1", "T", "1"}}, {"+ A 10.0.0.1"}},
        {"everything gone", {{"A", "10.0.0.1", "T", "1"}}, {}, {"- A 10.0.0.1"}},
    };
    for (const auto& c : cases) {
        auto current = devices(c.current);
        for (auto& r : current)
            r.mac = "02:4C:55:00:00:01";  // new fields are not compared
        EXPECT_EQ(described(scanChanges(devices(c.previous), current)), c.changes) << c.what;
    }
}

}  // namespace
}  // namespace lm
