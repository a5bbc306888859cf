#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/discovery/ListArrangement.h"

namespace lm {
namespace {

DeviceRecord record(std::string id, std::string address, std::string type = "Zelvix",
                    std::string version = "2.1.0") {
    DeviceRecord r;
    r.id = std::move(id);
    r.address = std::move(address);
    r.deviceType = std::move(type);
    r.version = std::move(version);
    return r;
}

TEST(ListArrangement, ComparesAddressesAsNumbersAndTextsByteWise) {
    const struct {
        DeviceRecord a;
        DeviceRecord b;
        int sortBy;
        bool descending;
        int result;
    } cases[] = {
        {record("a", "10.0.0.9"), record("b", "10.0.0.10"), 1, false, -1},
        {record("a", "10.0.0.9"), record("b", "10.0.0.10"), 1, true, 1},
        // A port suffix does not convert and goes after every plain address.
        {record("a", "10.0.0.5:8080"), record("b", "254.254.254.254"), 1, false, 1},
        {record("a", "10.0.0.5:8080"), record("b", "255.255.255.255"), 1, false, 0},
        // Byte-wise: upper case before lower case, high bytes after ASCII, 10 before 9.
        {record("024C55-C8", "x"), record("024c55-c8", "x"), 0, false, -1},
        {record("\xC4ngstr", "x"), record("Zulu", "x"), 0, false, 1},
        {record("Device  10", "x"), record("Device  9", "x"), 0, false, -1},
        // A text that begins another goes first, also with a zero byte; texts longer than 16 bytes
        // differ where they differ.
        {record("Device  1", "x"), record("Device  10", "x"), 0, false, -1},
        {record("ab", "x"), record(std::string("ab\0", 3), "x"), 0, false, -1},
        {record("024C55-C800000001-b", "x"), record("024C55-C800000001-a", "x"), 0, false, 1},
        {record("024C55-C800000001", "x"), record("024C55-C800000001", "x"), 0, true, 0},
        {record("a", "x", "Zelvix"), record("b", "x", "Draviel1"), 2, false, 1},
        {record("a", "x", "t", "2.10.0"), record("b", "x", "t", "2.9.0"), 3, true, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListArrangement::compare(c.a, c.b, c.sortBy, c.descending), c.result)
            << c.a.id << " " << c.a.address << " / " << c.b.id << " " << c.b.address;
}

// The keyed groups as "header: id, id | header: id", checking on the way that the "Unknown Type"
// group comes first and stays empty, every item carries its group's id and every record is shown.
std::string shown(const std::vector<DeviceRecord>& records, int groupBy, int sortBy, bool descending) {
    const ListArrangement arrangement(records, groupBy, sortBy, descending);
    const auto& groups = arrangement.groups();
    EXPECT_EQ(groups.at(0).id, ListArrangement::kUnknownGroupId);
    EXPECT_EQ(groups.at(0).header, "Unknown Type");
    EXPECT_TRUE(groups.at(0).records.empty());
    EXPECT_EQ(arrangement.items().size(), records.size());
    std::string text;
    for (std::size_t g = 1; g < groups.size(); ++g) {
        text += (g > 1 ? " | " : "") + groups[g].header + ":";
        for (const std::size_t i : groups[g].records) {
            text += (text.back() == ':' ? " " : ", ") + records[i].id;
            EXPECT_EQ(arrangement.groupId(i), groups[g].id);
        }
    }
    return text;
}

const std::vector<DeviceRecord> kMixed = {
    record("024C55-C81111", "192.168.1.30", "ZelvixXL VGA", "2.1.0"),
    record("024C55-C10002", "10.0.0.77", "Zelvix", "2.0.4"),
    record("Device  1", "10.0.0.5:8080", "Unknown", "Unknown"),
    record("024C55-C80001", "10.0.0.5", "ZelvixXL VGA", "2.1.0"),
    record("024C55-C10001", "192.168.1.4", "Zelvix", "2.1.0"),
    record("Device  12", "camera", "Unknown", "Unknown"),
};

TEST(ListArrangement, GroupsAndItemsInOrder) {
    EXPECT_EQ(
        shown(kMixed, 1, 1, false),
        "10.0.0.X: 024C55-C80001, 024C55-C10002, Device  1 | 192.168.1.X: 024C55-C10001, 024C55-C81111 | "
        "camera: Device  12");
    // Manual entries group by their first nine characters.
    EXPECT_EQ(shown(kMixed, 0, 0, false),
              "024C55-C1: 024C55-C10001, 024C55-C10002 | 024C55-C8: 024C55-C80001, 024C55-C81111 | "
              "Device  1: Device  1, Device  12");
    EXPECT_EQ(shown(kMixed, 2, 3, true),
              "Unknown: Device  1, Device  12 | Zelvix: 024C55-C10001, 024C55-C10002 | "
              "ZelvixXL VGA: 024C55-C81111, 024C55-C80001");
    // Groups by value, not text; keys that are no address come last.
    EXPECT_EQ(shown({record("a", "10.0.10.1"), record("b", "10.0.9.1"), record("c", "9.0.0.1"),
                     record("d", "1.2.3"), record("e", "")},
                    1, 0, false),
              "9.0.0.X: c | 10.0.9.X: b | 10.0.10.X: a | : e | 1.2.X: d");
    // Equal texts keep inventory order, also descending.
    EXPECT_EQ(shown({record("same", "10.0.0.1"), record("other", "10.0.0.1"), record("same", "10.0.0.1")}, 3,
                    1, true),
              "2.1.0: same, other, same");
    EXPECT_EQ(shown({}, 2, 0, false), "");
    // A keyed group takes the id of its first record: ZelvixXL VGA at 0, Zelvix at 1, Unknown at 2.
    const ListArrangement byType(kMixed, 2, 0, false);
    EXPECT_EQ(byType.groupId(3), 101);
    EXPECT_EQ(byType.groupId(4), 102);
    EXPECT_EQ(byType.groupId(5), 103);
}

}  // namespace
}  // namespace lm
