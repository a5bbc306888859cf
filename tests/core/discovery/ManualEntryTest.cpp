#include <gtest/gtest.h>

#include <vector>

#include "core/discovery/ManualEntry.h"

namespace lm {
namespace {

TEST(ManualEntry, AddressTakesAPortOtherThan80) {
    const struct {
        const char* address;  // as the address control reports it: blank is "0.0.0.0"
        const char* port;
        const char* expected;
    } cases[] = {{"0.0.0.0", "80", ""},
                 {"0.0.0.0", "8080", ""},  // a port does not make a blank address a device
                 {"", "8080", ""},
                 {"192.168.5.9", "8080", "192.168.5.9:8080"},
                 {"192.168.5.9", "80", "192.168.5.9"},
                 {"192.168.5.9", "", "192.168.5.9"},
                 {"192.168.5.9", "080", "192.168.5.9:080"}};  // only exactly "80" is the default
    for (const auto& c : cases)
        EXPECT_EQ(manualEntryAddress(c.address, c.port), c.expected) << c.address << " " << c.port;
}

class RecordingWindow : public InventoryObserver {
public:
    void inventoryCommand(InventoryCommand command) override { commands.push_back(command); }
    void thumbnailReady(std::size_t, uint32_t) override {}
    std::vector<int> commands;
};

TEST(ManualEntry, AddNumbersEntriesAndSkipsBlanks) {
    DeviceInventory inventory;
    RecordingWindow window;
    inventory.setObserver(&window);
    std::vector<std::string> fetched;
    inventory.setThumbnailStarter([&](const ThumbnailJob& job) {
        fetched.push_back(job.address);
        return true;
    });

    EXPECT_TRUE(addManualDevice(inventory, "192.168.5.9:8080"));
    EXPECT_FALSE(addManualDevice(inventory, ""));
    EXPECT_TRUE(addManualDevice(inventory, "192.168.5.9"));
    // The same address again is a second record.
    EXPECT_TRUE(addManualDevice(inventory, "192.168.5.9"));

    const auto records = inventory.snapshot();
    ASSERT_EQ(records.size(), 3u);
    const char* ids[] = {"Device  1", "Device  2", "Device  3"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].id, ids[i]);
        EXPECT_EQ(records[i].deviceType, "Unknown");
        EXPECT_EQ(records[i].version, "Unknown");
    }
    // The thumbnail is fetched from the whole address, port included.
    EXPECT_EQ(fetched, (std::vector<std::string>{"192.168.5.9:8080", "192.168.5.9", "192.168.5.9"}));
    // Each entry: the two commands of add, then the same two once more; blanks send nothing.
    std::vector<int> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {ID_LIST_REFILL, ID_STATUS_UPDATE, ID_LIST_REFILL, ID_STATUS_UPDATE});
    EXPECT_EQ(window.commands, expected);
}

}  // namespace
}  // namespace lm
