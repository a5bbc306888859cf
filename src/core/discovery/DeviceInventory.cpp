#include "discovery/DeviceInventory.h"

#include <strings.h>
#include <algorithm>

namespace lm {

namespace {

bool isUnknown(const std::string& id) {
    return ::strcasecmp(id.c_str(), "Unknown") == 0;
}

bool matches(const DeviceRecord& record, const std::string& id, const std::string& address) {
    return record.address == address && (isUnknown(id) || isUnknown(record.id) || record.id == id);
}

}  // namespace

void DeviceInventory::add(const std::string& id, const std::string& address, const std::string& deviceType,
                          const std::string& version) {
    {
        std::unique_lock lock(mutex_);
        if (records_.size() >= kMaxRecords) return;
        DeviceRecord record;
        record.id = id;
        record.address = address;
        record.deviceType = deviceType;
        record.version = version;
        record.key = nextKey_++;
        records_.push_back(std::move(record));
        startFetch(lock, records_.back());
    }
    notify(ID_LIST_REFILL);
    notify(ID_STATUS_UPDATE);
}

bool DeviceInventory::update(const std::string& id, const std::string& address) {
    std::unique_lock lock(mutex_);
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const DeviceRecord& r) { return matches(r, id, address); });
    if (it == records_.end()) return false;
    it->seen = true;
    if (id != "Unknown") it->id = id;
    startFetch(lock, *it);
    return true;
}

void DeviceInventory::startThumbnailFetch(std::size_t index) {
    std::unique_lock lock(mutex_);
    if (index < records_.size()) startFetch(lock, records_[index]);
}

// Marks the fetch as started, then starts it without holding the lock; a thread that cannot be
// started leaves the record unmarked.
void DeviceInventory::startFetch(std::unique_lock<std::mutex>& lock, DeviceRecord& record) {
    if (record.thumbnailFetch || !starter_) return;
    record.thumbnailFetch = true;
    const ThumbnailJob job{record.key, record.address};
    lock.unlock();
    const bool started = starter_(job);
    lock.lock();
    if (started) return;
    for (auto& r : records_)
        if (r.key == job.key) r.thumbnailFetch = false;
}

void DeviceInventory::clearSeen() {
    std::lock_guard lock(mutex_);
    for (auto& r : records_)
        r.seen = false;
}

void DeviceInventory::pruneUnseen() {
    std::lock_guard lock(mutex_);
    std::erase_if(records_, [](const DeviceRecord& r) { return !r.seen && r.id.rfind("Device ", 0) != 0; });
}

std::size_t DeviceInventory::count() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

std::optional<DeviceRecord> DeviceInventory::at(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= records_.size()) return std::nullopt;
    return records_[index];
}

std::vector<DeviceRecord> DeviceInventory::snapshot() const {
    std::lock_guard lock(mutex_);
    return records_;
}

bool DeviceInventory::completeThumbnail(uint64_t key, const PictureStore& store) {
    std::size_t index = 0;
    uint32_t imageIndex = 0;
    {
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(records_.begin(), records_.end(),
                                     [key](const DeviceRecord& r) { return r.key == key; });
        if (it == records_.end()) return false;
        it->imageIndex = store(it->imageIndex);
        index = static_cast<std::size_t>(it - records_.begin());
        imageIndex = it->imageIndex;
    }
    if (observer_) observer_->thumbnailReady(index, imageIndex);
    // Cleared only after delivery, so a scan meanwhile cannot start a second fetch for the record.
    std::lock_guard lock(mutex_);
    for (auto& r : records_)
        if (r.key == key) r.thumbnailFetch = false;
    return true;
}

void DeviceInventory::notify(InventoryCommand command) const {
    if (observer_) observer_->inventoryCommand(command);
}

std::string deviceCountLabel(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " device found." : " devices found.");
}

}  // namespace lm
