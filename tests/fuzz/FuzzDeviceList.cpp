// A saved device list is a file anyone may have written: reading it never crashes or grows past
// its limits, and what is written from it reads back to the same.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/discovery/DeviceListFile.h"
#include "core/discovery/ScanChanges.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = lm::readDeviceListJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok()) {
        if (!read.records.empty()) __builtin_trap();
        return 0;
    }
    if (read.records.size() > lm::kMaxListDevices) __builtin_trap();
    // A file holds each device's saved form (no stand-ins, no ID for a manual entry): read back, it
    // writes the same, and a scan diff, which compares saved forms, finds no change.
    const auto again = lm::readDeviceListJson(lm::deviceListJson(read.records));
    if (lm::deviceListJson(again.records) != lm::deviceListJson(read.records)) __builtin_trap();
    if (lm::deviceListCsv(again.records) != lm::deviceListCsv(read.records)) __builtin_trap();
    std::vector<lm::DeviceRecord> saved;
    for (const auto& record : read.records)
        saved.push_back(lm::savedForm(record));
    if (!lm::scanChanges(saved, again.records).empty()) __builtin_trap();
    return 0;
}
