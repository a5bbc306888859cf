#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/ListArrangement.h"

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

struct KeyCase {
    DeviceRecord record;
    int groupBy;
    std::string key;
};

class GroupKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GroupKeyTest, KeyOfRecord) {
    EXPECT_EQ(ListArrangement::groupKey(GetParam().record, GetParam().groupBy), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, GroupKeyTest,
    ::testing::Values(KeyCase{record("024C55-C81234", "192.168.1.20"), 0, "024C55-C8"},
                      KeyCase{record("Device  3", "10.0.0.5:8080"), 0, "Device  3"},
                      KeyCase{record("Device  12", "10.0.0.5"), 0, "Device  1"},
                      KeyCase{record("Unknown", "10.0.0.5"), 0, "Unknown"},
                      KeyCase{record("024C55-C81234", "192.168.1.20"), 1, "192.168.1.X"},
                      KeyCase{record("Device  3", "10.0.0.5:8080"), 1, "10.0.0.X"},
                      KeyCase{record("Device  4", "camera"), 1, "camera"},
                      KeyCase{record("Device  5", ""), 1, ""},
                      KeyCase{record("024C55-C81234", "1.2.3.4", "ZelvixXL VGA"), 2, "ZelvixXL VGA"},
                      KeyCase{record("024C55-C81234", "1.2.3.4", "Zelvix", "Unknown (ARP)"), 3,
                              "Unknown (ARP)"}),
    [](const auto& p) { return "Case" + std::to_string(p.index); });

struct CompareCase {
    DeviceRecord a;
    DeviceRecord b;
    int sortBy;
    bool descending;
    int result;
};

class CompareTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTest, OrdersPair) {
    const auto& c = GetParam();
    EXPECT_EQ(ListArrangement::compare(c.a, c.b, c.sortBy, c.descending), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, CompareTest,
    ::testing::Values(
        // Numbers, not text: 9 before 10.
        CompareCase{record("a", "10.0.0.9"), record("b", "10.0.0.10"), 1, false, -1},
        CompareCase{record("a", "10.0.0.9"), record("b", "10.0.0.10"), 1, true, 1},
        CompareCase{record("a", "9.255.255.255"), record("b", "10.0.0.0"), 1, false, -1},
        // A port suffix does not convert and goes after every plain address.
        CompareCase{record("a", "10.0.0.5:8080"), record("b", "254.254.254.254"), 1, false, 1},
        CompareCase{record("a", "10.0.0.5:8080"), record("b", "10.0.0.5:8080"), 1, false, 0},
        CompareCase{record("a", "10.0.0.5:8080"), record("b", "255.255.255.255"), 1, false, 0},
        CompareCase{record("a", "camera"), record("b", "10.0.0.5"), 1, true, -1},
        CompareCase{record("a", "1.1.1.1"), record("b", "1.1.1.1"), 1, true, 0},
        // Byte-wise: upper case before lower case, high bytes after ASCII.
        CompareCase{record("024C55-C8", "x"), record("024c55-c8", "x"), 0, false, -1},
        CompareCase{record("\xC4ngstr", "x"), record("Zulu", "x"), 0, false, 1},
        CompareCase{record("Device  10", "x"), record("Device  9", "x"), 0, false, -1},
        CompareCase{record("Device  10", "x"), record("Device  9", "x"), 0, true, 1},
        CompareCase{record("a", "x", "Zelvix"), record("b", "x", "Draviel1"), 2, false, 1},
        CompareCase{record("a", "x", "Zelvix"), record("b", "x", "Zelvix"), 2, true, 0},
        CompareCase{record("a", "x", "t", "2.10.0"), record("b", "x", "t", "2.9.0"), 3, false, -1},
        CompareCase{record("a", "x", "t", "2.10.0"), record("b", "x", "t", "2.9.0"), 3, true, 1}),
    [](const auto& p) { return "Case" + std::to_string(p.index); });

struct Shown {
    std::string header;
    std::vector<std::string> ids;  // in item order
};

struct ArrangeCase {
    const char* name;
    std::vector<DeviceRecord> records;
    int groupBy;
    int sortBy;
    bool descending;
    std::vector<Shown> groups;  // keyed groups in order, after "Unknown Type"
};

class ArrangementTest : public ::testing::TestWithParam<ArrangeCase> {};

TEST_P(ArrangementTest, GroupsAndItemsInOrder) {
    const auto& c = GetParam();
    const ListArrangement arrangement(c.records, c.groupBy, c.sortBy, c.descending);
    const auto& groups = arrangement.groups();
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups[0].id, ListArrangement::kUnknownGroupId);
    EXPECT_EQ(groups[0].header, "Unknown Type");
    EXPECT_TRUE(groups[0].records.empty());
    std::vector<Shown> shown;
    for (std::size_t g = 1; g < groups.size(); ++g) {
        Shown s{groups[g].header, {}};
        for (const std::size_t i : groups[g].records) {
            s.ids.push_back(c.records[i].id);
            EXPECT_EQ(arrangement.groupId(i), groups[g].id);
        }
        shown.push_back(std::move(s));
    }
    ASSERT_EQ(shown.size(), c.groups.size());
    for (std::size_t g = 0; g < shown.size(); ++g) {
        EXPECT_EQ(shown[g].header, c.groups[g].header) << "group " << g;
        EXPECT_EQ(shown[g].ids, c.groups[g].ids) << "group " << g;
    }
}

const std::vector<DeviceRecord> kMixed = {
    record("024C55-C81111", "192.168.1.30", "ZelvixXL VGA", "2.1.0"),
    record("024C55-C10002", "10.0.0.77", "Zelvix", "2.0.4"),
    record("Device  1", "10.0.0.5:8080", "Unknown", "Unknown"),
    record("024C55-C80001", "10.0.0.5", "ZelvixXL VGA", "2.1.0"),
    record("024C55-C10001", "192.168.1.4", "Zelvix", "2.1.0"),
    record("Device  2", "camera", "Unknown", "Unknown"),
};

INSTANTIATE_TEST_SUITE_P(
    Lists, ArrangementTest,
    ::testing::Values(
        ArrangeCase{"ByAddressNumerically",
                    kMixed,
                    1,
                    1,
                    false,
                    {{"10.0.0.X", {"024C55-C80001", "024C55-C10002", "Device  1"}},
                     {"192.168.1.X", {"024C55-C10001", "024C55-C81111"}},
                     {"camera", {"Device  2"}}}},
        ArrangeCase{"ByAddressDescending",
                    kMixed,
                    1,
                    1,
                    true,
                    {{"10.0.0.X", {"Device  1", "024C55-C10002", "024C55-C80001"}},
                     {"192.168.1.X", {"024C55-C81111", "024C55-C10001"}},
                     {"camera", {"Device  2"}}}},
        ArrangeCase{
            "GroupsOrderedByValueNotText",
            {record("a", "10.0.10.1"), record("b", "10.0.9.1"), record("c", "9.0.0.1"), record("d", "1.2.3"),
             record("e", "")},
            1,
            0,
            false,
            {{"9.0.0.X", {"c"}}, {"10.0.9.X", {"b"}}, {"10.0.10.X", {"a"}}, {"", {"e"}}, {"1.2.X", {"d"}}}},
        ArrangeCase{"ById",
                    kMixed,
                    0,
                    0,
                    false,
                    {{"024C55-C1", {"024C55-C10001", "024C55-C10002"}},
                     {"024C55-C8", {"024C55-C80001", "024C55-C81111"}},
                     {"Device  1", {"Device  1"}},
                     {"Device  2", {"Device  2"}}}},
        ArrangeCase{"ByTypeSortedByVersionDescending",
                    kMixed,
                    2,
                    3,
                    true,
                    {{"Unknown", {"Device  1", "Device  2"}},
                     {"Zelvix", {"024C55-C10001", "024C55-C10002"}},
                     {"ZelvixXL VGA", {"024C55-C81111", "024C55-C80001"}}}},
        ArrangeCase{"EqualTextsKeepInventoryOrder",
                    {record("same", "10.0.0.1"), record("other", "10.0.0.1"), record("same", "10.0.0.1")},
                    3,
                    1,
                    true,
                    {{"2.1.0", {"same", "other", "same"}}}},
        ArrangeCase{"Empty", {}, 2, 0, false, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ListArrangementIds, KeyedGroupTakesIdOfItsFirstRecord) {
    const ListArrangement arrangement(kMixed, 2, 0, false);
    // Types by first appearance: ZelvixXL VGA at 0, Zelvix at 1, Unknown at 2.
    EXPECT_EQ(arrangement.groupId(0), 101);
    EXPECT_EQ(arrangement.groupId(3), 101);
    EXPECT_EQ(arrangement.groupId(1), 102);
    EXPECT_EQ(arrangement.groupId(4), 102);
    EXPECT_EQ(arrangement.groupId(2), 103);
    EXPECT_EQ(arrangement.groupId(5), 103);
}

TEST(ListArrangementIds, NoRecordIsLeftOutOrRepeated) {
    const ListArrangement arrangement(kMixed, 1, 1, false);
    std::vector<int> seen(kMixed.size(), 0);
    for (const auto& group : arrangement.groups())
        for (const std::size_t i : group.records)
            ++seen.at(i);
    EXPECT_EQ(seen, std::vector<int>(kMixed.size(), 1));
    EXPECT_EQ(arrangement.items().size(), kMixed.size());
}

}  // namespace
}  // namespace lm
