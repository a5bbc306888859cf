#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/discovery/DeviceInventory.h"

namespace lm {
namespace {

using Ready = std::vector<std::pair<std::size_t, uint32_t>>;

// Records what the window would be told.
class RecordingObserver : public InventoryObserver {
public:
    explicit RecordingObserver(DeviceInventory& inventory) : inventory_(inventory) {}
    void inventoryCommand(InventoryCommand command) override {
        // The lock must be free while a command is delivered: reading the inventory must not deadlock.
        countsSeen.push_back(inventory_.count());
        commands.push_back(command);
    }
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override {
        thumbnails.emplace_back(recordIndex, imageIndex);
    }
    std::vector<int> commands;
    std::vector<std::size_t> countsSeen;
    Ready thumbnails;

private:
    DeviceInventory& inventory_;
};

class DeviceInventoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        inventory.setObserver(&observer);
        inventory.setThumbnailStarter([this](const ThumbnailJob& job) {
            jobs.push_back(job);
            return startSucceeds;
        });
    }

    DeviceInventory inventory;
    RecordingObserver observer{inventory};
    std::vector<ThumbnailJob> jobs;
    bool startSucceeds = true;
};

TEST(DeviceInventory, UpdateFollowsTheMatchingRules) {
    const struct {
        const char* storedId;
        const char* id;
        const char* address;
        bool matches;
        const char* idAfter;
    } cases[] = {{"A", "A", "10.0.0.5", true, "A"},
                 {"A", "Unknown", "10.0.0.5", true, "A"},
                 {"A", "UNKNOWN", "10.0.0.5", true, "UNKNOWN"},  // matches, but is not exactly "Unknown"
                 {"unknown", "024C55-C81234", "10.0.0.5", true, "024C55-C81234"},
                 {"A", "B", "10.0.0.5", false, "A"},
                 {"abc", "ABC", "10.0.0.5", false, "abc"},
                 {"A", "A", "10.0.0.5:80", false, "A"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.storedId) + " / " + c.id + " at " + c.address);
        DeviceInventory inventory;
        inventory.add(c.storedId, "10.0.0.5", "Type", "1.0");
        inventory.clearSeen();
        RecordingObserver observer(inventory);
        inventory.setObserver(&observer);
        EXPECT_EQ(inventory.update(c.id, c.address), c.matches);
        const auto r = *inventory.at(0);
        EXPECT_EQ(r.seen, c.matches);
        EXPECT_EQ(r.id, c.idAfter);
        EXPECT_EQ(r.deviceType, "Type");
        EXPECT_EQ(r.version, "1.0");
        EXPECT_TRUE(observer.commands.empty()) << "update sends no window command";
    }
}

// Later sightings fill what a record lacks and keep the richest source: probe, then ARP, then echo.
TEST(DeviceInventory, UpdateCompletesFactsAndKeepsTheRichestSource) {
    const DeviceFacts probe{"", "P/T", "", DeviceSource::probe, "eth0"},
        arp{"02:4C:55:00:00:01", "", "", DeviceSource::arp, "eth1"},
        echo{"02:4C:55:00:00:09", "Q/U", "", DeviceSource::echo, ""};
    const struct {
        DeviceFacts first, later;
        std::string after;
    } cases[] = {{probe, arp, "probe 02:4C:55:00:00:01 P/T eth0"},
                 {arp, probe, "probe 02:4C:55:00:00:01 P/T eth1"},
                 {arp, echo, "arp 02:4C:55:00:00:01 Q/U eth1"}};
    for (const auto& c : cases) {
        DeviceInventory inventory;
        inventory.add("A", "10.0.0.5", "T", "1", c.first);
        ASSERT_TRUE(inventory.update("A", "10.0.0.5", c.later));
        const auto r = *inventory.at(0);
        EXPECT_EQ(
            std::string(deviceSourceName(r.source)) + " " + r.mac + " " + r.product + " " + r.interfaceName,
            c.after);
    }
}

// Add appends a seen record, starts its fetch and tells the window to refill, then to update the
// status, with the inventory readable meanwhile. A recorded fetch is not started again, not even
// after it failed; one that succeeded, or whose thread could not be started, leaves the way open
// for the next; a second picture lands in place.
TEST_F(DeviceInventoryTest, AddStartsOneFetchAtATimePerRecord) {
    inventory.add("A", "10.0.0.5", "T", "1");
    ASSERT_EQ(inventory.count(), 1u);
    EXPECT_TRUE(inventory.at(0)->seen);
    EXPECT_TRUE(inventory.at(0)->thumbnailFetch);
    EXPECT_EQ(observer.commands, (std::vector<int>{ID_LIST_REFILL, ID_STATUS_UPDATE}));
    EXPECT_EQ(observer.countsSeen, (std::vector<std::size_t>{1, 1}));
    EXPECT_TRUE(inventory.update("A", "10.0.0.5"));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].address, "10.0.0.5");
    ASSERT_TRUE(inventory.completeThumbnail(jobs[0].key, [](uint32_t current) {
        EXPECT_EQ(current, 0u);
        return 7u;
    }));
    EXPECT_EQ(inventory.at(0)->imageIndex, 7u);
    EXPECT_FALSE(inventory.at(0)->thumbnailFetch);
    EXPECT_EQ(observer.thumbnails, (Ready{{0, 7}}));

    startSucceeds = false;
    inventory.update("A", "10.0.0.5");
    EXPECT_FALSE(inventory.at(0)->thumbnailFetch);
    startSucceeds = true;
    inventory.update("A", "10.0.0.5");
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_TRUE(inventory.at(0)->thumbnailFetch);
    inventory.completeThumbnail(jobs[2].key, [](uint32_t current) { return current; });
    EXPECT_EQ(inventory.at(0)->imageIndex, 7u);
}

// Pruning keeps the seen records and the manual entries and hands back the others; those that
// moved are found, and get their pictures, where they now stand; a removed record's picture is not
// stored. An update takes the first match in index order.
TEST_F(DeviceInventoryTest, PruneKeepsSeenAndManualEntriesWhereTheyNowStand) {
    for (const char* id : {"A", "Device  1", "B", "Device1", "device  2"})
        inventory.add(id, "10.0.0.1", "T", "1");
    inventory.clearSeen();
    inventory.update("B", "10.0.0.1");
    const auto idsOf = [](const std::vector<DeviceRecord>& records) {
        std::vector<std::string> ids;
        for (const auto& r : records)
            ids.push_back(r.id);
        return ids;
    };
    EXPECT_EQ(idsOf(inventory.pruneUnseen()), (std::vector<std::string>{"A", "Device1", "device  2"}));
    EXPECT_EQ(idsOf(inventory.snapshot()), (std::vector<std::string>{"Device  1", "B"}));
    EXPECT_TRUE(inventory.pruneUnseen().empty());

    EXPECT_TRUE(inventory.completeThumbnail(jobs[2].key, [](uint32_t) { return 3u; }));
    EXPECT_EQ(inventory.at(1)->imageIndex, 3u);
    EXPECT_EQ(observer.thumbnails, (Ready{{1, 3}}));
    EXPECT_FALSE(inventory.completeThumbnail(jobs[0].key, [](uint32_t) -> uint32_t {
        ADD_FAILURE() << "a removed record's pictures must not be stored";
        return 9;
    }));
    inventory.clearSeen();
    EXPECT_FALSE(inventory.update("A", "10.0.0.1"));
    EXPECT_TRUE(inventory.update("B", "10.0.0.1"));
    EXPECT_FALSE(inventory.at(0)->seen);
    EXPECT_TRUE(inventory.at(1)->seen);
    EXPECT_TRUE(inventory.update("Unknown", "10.0.0.1"));  // the first match in index order
    EXPECT_TRUE(inventory.at(0)->seen);
}

TEST(DeviceCountLabel, SingularOnlyForOne) {
    EXPECT_EQ(deviceCountLabel(0), "0 devices found.");
    EXPECT_EQ(deviceCountLabel(1), "1 device found.");
    EXPECT_EQ(deviceCountLabel(2), "2 devices found.");
}

// The scan thread adds, confirms and prunes, fetch threads complete and the window reads, all at
// once; every other round confirms half the devices, so the rest are pruned and come back.
TEST(DeviceInventoryConcurrency, ScanFetchesAndWindowShareTheInventory) {
    DeviceInventory inventory;
    std::mutex jobsMutex;
    std::vector<ThumbnailJob> pending;
    inventory.setThumbnailStarter([&](const ThumbnailJob& job) {
        std::lock_guard lock(jobsMutex);
        pending.push_back(job);
        return true;
    });
    std::atomic<bool> done{false};
    std::thread scan([&] {
        for (int round = 0; round < 20; ++round) {
            inventory.clearSeen();
            for (int i = 0; i < 50; i += round % 2 ? 2 : 1) {
                const std::string id = "ID" + std::to_string(i);
                const std::string address = "10.0.0." + std::to_string(i);
                if (!inventory.update(id, address)) inventory.add(id, address, "T", "1");
            }
            inventory.pruneUnseen();
        }
        done = true;
    });
    std::atomic<int> stored{0};
    const auto fetch = [&] {
        for (;;) {
            std::optional<ThumbnailJob> job;
            {
                std::lock_guard lock(jobsMutex);
                if (pending.empty() && done) return;
                if (!pending.empty()) job = pending.back(), pending.pop_back();
            }
            if (job && inventory.completeThumbnail(job->key, [](uint32_t) { return 1u; })) ++stored;
        }
    };
    std::thread fetchers[] = {std::thread(fetch), std::thread(fetch)};
    while (!done) {
        for (const auto& r : inventory.snapshot())
            EXPECT_FALSE(r.id.empty());
    }
    scan.join();
    for (auto& f : fetchers)
        f.join();
    EXPECT_EQ(inventory.count(), 25u);
    EXPECT_GT(stored.load(), 0);
}

}  // namespace
}  // namespace lm
