#include "core/discovery/DeviceInventory.h"

#include <strings.h>

#include <algorithm>
#include <iterator>

namespace lm {

namespace {

bool isUnknown(const std::string& id) {
    return ::strcasecmp(id.c_str(), "Unknown") == 0;
}

bool matches(const DeviceRecord& record, const std::string& id, const std::string& address) {
    return record.address == address && (isUnknown(id) || isUnknown(record.id) || record.id == id);
}

// A probe reply says the most of a device, an ARP row gives its MAC, an echo only its address; a
// manual entry is never found by a scan.
int sourceRank(DeviceSource source) {
    switch (source) {
        case DeviceSource::probe:
            return 3;
        case DeviceSource::arp:
            return 2;
        case DeviceSource::echo:
            return 1;
        case DeviceSource::manual:
            return 0;
    }
    return 0;
}

// A later sighting fills what the record lacks and keeps the richest source; what is known stays.
void complete(DeviceRecord& record, const DeviceFacts& facts) {
    if (record.mac.empty()) record.mac = facts.mac;
    if (record.product.empty()) record.product = facts.product;
    if (record.subtype.empty()) record.subtype = facts.subtype;
    if (record.interfaceName.empty()) record.interfaceName = facts.interfaceName;
    if (sourceRank(facts.source) > sourceRank(record.source)) record.source = facts.source;
}

}  // namespace

void DeviceInventory::add(const std::string& id, const std::string& address, const std::string& deviceType,
                          const std::string& version, const DeviceFacts& facts) {
    {
        std::unique_lock lock(mutex_);
        if (records_.size() >= kMaxRecords) return;
        DeviceRecord record;
        record.id = id;
        record.address = address;
        record.deviceType = deviceType;
        record.version = version;
        record.mac = facts.mac;
        record.product = facts.product;
        record.subtype = facts.subtype;
        record.source = facts.source;
        record.interfaceName = facts.interfaceName;
        record.key = nextKey_++;
        byAddress_[address].push_back(records_.size());
        byKey_.emplace(record.key, records_.size());
        records_.push_back(std::move(record));
        startFetch(lock, records_.back());
    }
    notify(ID_LIST_REFILL);
    notify(ID_STATUS_UPDATE);
}

bool DeviceInventory::update(const std::string& id, const std::string& address, const DeviceFacts& facts) {
    std::unique_lock lock(mutex_);
    const auto atAddress = byAddress_.find(address);
    if (atAddress == byAddress_.end()) return false;
    for (const std::size_t index : atAddress->second) {
        DeviceRecord& record = records_[index];
        if (!matches(record, id, address)) continue;
        record.seen = true;
        if (id != "Unknown") record.id = id;
        complete(record, facts);
        startFetch(lock, record);
        return true;
    }
    return false;
}

void DeviceInventory::startThumbnailFetch(std::size_t index) {
    std::unique_lock lock(mutex_);
    if (index < records_.size()) startFetch(lock, records_[index]);
}

// Marks the fetch as started, then starts it without holding the lock; a fetch that cannot be
// started leaves the record unmarked.
void DeviceInventory::startFetch(std::unique_lock<std::mutex>& lock, DeviceRecord& record) {
    if (record.thumbnailFetch || !starter_) return;
    record.thumbnailFetch = true;
    const ThumbnailJob job{record.key, record.address};
    lock.unlock();
    const bool started = starter_(job);
    lock.lock();
    if (started) return;
    if (DeviceRecord* r = findKey(job.key)) r->thumbnailFetch = false;
}

DeviceRecord* DeviceInventory::findKey(uint64_t key) {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : &records_[it->second];
}

void DeviceInventory::reindex() {
    byAddress_.clear();
    byKey_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i) {
        byAddress_[records_[i].address].push_back(i);
        byKey_.emplace(records_[i].key, i);
    }
}

void DeviceInventory::clearSeen() {
    std::lock_guard lock(mutex_);
    for (auto& r : records_)
        r.seen = false;
}

std::vector<DeviceRecord> DeviceInventory::pruneUnseen() {
    std::lock_guard lock(mutex_);
    const auto kept = [](const DeviceRecord& r) { return r.seen || r.id.rfind("Device ", 0) == 0; };
    const auto firstGone = std::stable_partition(records_.begin(), records_.end(), kept);
    std::vector<DeviceRecord> removed(std::make_move_iterator(firstGone),
                                      std::make_move_iterator(records_.end()));
    records_.erase(firstGone, records_.end());
    if (!removed.empty()) reindex();
    return removed;
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
        DeviceRecord* record = findKey(key);
        if (!record) return false;
        record->imageIndex = store(record->imageIndex);
        index = static_cast<std::size_t>(record - records_.data());
        imageIndex = record->imageIndex;
    }
    if (observer_) observer_->thumbnailReady(index, imageIndex);
    // Cleared only after delivery, so a scan meanwhile cannot start a second fetch for the record.
    std::lock_guard lock(mutex_);
    if (DeviceRecord* record = findKey(key)) record->thumbnailFetch = false;
    return true;
}

void DeviceInventory::notify(InventoryCommand command) const {
    if (observer_) observer_->inventoryCommand(command);
}

std::string deviceCountLabel(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " device found." : " devices found.");
}

std::string scanningCountLabel(std::size_t count) {
    return "Scanning... " + deviceCountLabel(count);
}

}  // namespace lm
