#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "core/discovery/InventoryObserver.h"

namespace lm {

// What a thumbnail fetch needs to know of its record.
struct ThumbnailJob {
    uint64_t key = 0;
    std::string address;
};

// The ordered list of known devices, shared by the window, the scan thread and the thumbnail
// threads under one lock. Records are found by address and by key through indexes kept in step
// with the list, so a scan's update or a fetch's result costs the same with 50 records or 50,000.
class DeviceInventory {
public:
    // Starts a fetch, or queues it for a fetch thread; false when no thread can be had for it.
    // It must not call back into the inventory before it returns.
    using ThumbnailStarter = std::function<bool(const ThumbnailJob&)>;

    // Puts the fetched pictures in place given the record's current image index and returns the
    // index they now have. Runs under the inventory lock: it must not touch the inventory.
    using PictureStore = std::function<uint32_t(uint32_t currentImageIndex)>;

    // Records beyond this are not added: a flood of forged replies cannot grow the list without end.
    static constexpr std::size_t kMaxRecords = 65'536;

    void setObserver(InventoryObserver* observer) { observer_ = observer; }
    void setThumbnailStarter(ThumbnailStarter starter) { starter_ = std::move(starter); }

    // Appends a record, starts its thumbnail fetch, then sends ID_LIST_REFILL and ID_STATUS_UPDATE.
    void add(const std::string& id, const std::string& address, const std::string& deviceType,
             const std::string& version, const DeviceFacts& facts = {});
    // Confirms the first record matching (id, address) and completes it with the facts given;
    // false when none matches.
    bool update(const std::string& id, const std::string& address, const DeviceFacts& facts = {});
    void startThumbnailFetch(std::size_t index);
    void clearSeen();
    // Removes the records no scan has seen since clearSeen, manual entries apart, and returns them,
    // so that what was kept for them (their pictures, their waiting fetches) can go too.
    std::vector<DeviceRecord> pruneUnseen();
    std::size_t count() const;

    std::optional<DeviceRecord> at(std::size_t index) const;
    std::vector<DeviceRecord> snapshot() const;

    // A successful fetch: stores the pictures for the record with this key, wherever it stands now,
    // sends WM_THUMBNAIL_READY and clears its fetch mark. False when the record is gone.
    bool completeThumbnail(uint64_t key, const PictureStore& store);

    // Sends a window command to the observer, if any.
    void notify(InventoryCommand command) const;

    std::atomic<bool> scanInProgress{false};
    std::atomic<unsigned> manualDeviceCounter{0};

private:
    void startFetch(std::unique_lock<std::mutex>& lock, DeviceRecord& record);
    DeviceRecord* findKey(uint64_t key);
    void reindex();

    mutable std::mutex mutex_;
    std::vector<DeviceRecord> records_;
    // Positions in records_: every record's under its address in ascending order, and its key's.
    std::unordered_map<std::string, std::vector<std::size_t>> byAddress_;
    std::unordered_map<uint64_t, std::size_t> byKey_;
    uint64_t nextKey_ = 1;
    InventoryObserver* observer_ = nullptr;
    ThumbnailStarter starter_;
};

// The device-count label under the list.
std::string deviceCountLabel(std::size_t count);
// The same label while a scan still runs.
std::string scanningCountLabel(std::size_t count);

}  // namespace lm
