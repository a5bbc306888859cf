#include <gtest/gtest.h>

#include <vector>

#include "discovery/ManualEntry.h"

namespace lm {
namespace {

struct AddressCase {
    const char* address;  // as the address control reports it: blank is "0.0.0.0"
    const char* port;
    const char* expected;
};

class ManualEntryAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ManualEntryAddressTest, BuildsTheStoredAddress) {
    const auto& c = GetParam();
    EXPECT_EQ(manualEntryAddress(c.address, c.port), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, ManualEntryAddressTest,
                         ::testing::Values(AddressCase{"0.0.0.0", "80", ""},  //
                                           AddressCase{"0.0.0.0", "", ""},
                                           // A port does not make a blank address a device.
                                           AddressCase{"0.0.0.0", "8080", ""},  //
                                           AddressCase{"", "8080", ""},
                                           AddressCase{"192.168.5.9", "8080", "192.168.5.9:8080"},
                                           AddressCase{"192.168.5.9", "80", "192.168.5.9"},
                                           AddressCase{"192.168.5.9", "", "192.168.5.9"},
                                           // Only exactly "80" is the default; the port is not validated.
                                           AddressCase{"192.168.5.9", "080", "192.168.5.9:080"},
                                           AddressCase{"192.168.5.9", "http", "192.168.5.9:http"}));

class RecordingWindow : public InventoryObserver {
public:
    void inventoryCommand(InventoryCommand command) override { commands.push_back(command); }
    void thumbnailReady(std::size_t, uint32_t) override {}
    std::vector<int> commands;
};

TEST(AddManualDevice, NumbersEntriesAndSkipsBlanks) {
    DeviceInventory inventory;
    RecordingWindow window;
    inventory.setObserver(&window);
    std::vector<std::string> fetched;
    inventory.setThumbnailStarter([&](const ThumbnailJob& job) {
        fetched.push_back(job.address);
        return true;
    });

    EXPECT_TRUE(addManualDevice(inventory, manualEntryAddress("192.168.5.9", "8080")));
    EXPECT_FALSE(addManualDevice(inventory, manualEntryAddress("0.0.0.0", "80")));
    EXPECT_TRUE(addManualDevice(inventory, manualEntryAddress("192.168.5.9", "80")));
    EXPECT_FALSE(addManualDevice(inventory, ""));
    // The same address again is a second record.
    EXPECT_TRUE(addManualDevice(inventory, "192.168.5.9"));

    const auto records = inventory.snapshot();
    ASSERT_EQ(records.size(), 3u);
    const char* ids[] = {"Device  1", "Device  2", "Device  3"};
    const char* addresses[] = {"192.168.5.9:8080", "192.168.5.9", "192.168.5.9"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].id, ids[i]);
        EXPECT_EQ(records[i].address, addresses[i]);
        EXPECT_EQ(records[i].deviceType, "Unknown");
        EXPECT_EQ(records[i].version, "Unknown");
    }
    EXPECT_EQ(inventory.manualDeviceCounter, 3u);
    // The thumbnail is fetched from the whole address, port included.
    EXPECT_EQ(fetched, (std::vector<std::string>{"192.168.5.9:8080", "192.168.5.9", "192.168.5.9"}));
    // Each entry: the two commands of add, then the same two once more; blanks send nothing.
    std::vector<int> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {ID_LIST_REFILL, ID_STATUS_UPDATE, ID_LIST_REFILL, ID_STATUS_UPDATE});
    EXPECT_EQ(window.commands, expected);
}

TEST(AddManualDevice, EntriesOutliveScansAndNumbersGoOn) {
    DeviceInventory inventory;
    ASSERT_TRUE(addManualDevice(inventory, "10.0.0.1"));
    ASSERT_TRUE(addManualDevice(inventory, "10.0.0.2"));
    // A scan that confirms nothing keeps them.
    inventory.clearSeen();
    inventory.pruneUnseen();
    EXPECT_EQ(inventory.count(), 2u);
    ASSERT_TRUE(addManualDevice(inventory, "10.0.0.3"));
    EXPECT_EQ(inventory.at(2)->id, "Device  3");
}

}  // namespace
}  // namespace lm
