// A saved device list is a file anyone may have written: reading it never crashes or grows past
// its limits, a list read is written back unchanged, and compared with itself shows no change.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/discovery/DeviceListFile.h"
#include "core/discovery/ScanChanges.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = lm::readDeviceListJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok()) {
        if (!read.records.empty()) __builtin_trap();
        return 0;
    }
    if (read.records.size() > lm::kMaxListDevices) __builtin_trap();
    const auto again = lm::readDeviceListJson(lm::deviceListJson(read.records));
    if (lm::deviceListCsv(again.records) != lm::deviceListCsv(read.records)) __builtin_trap();
    if (!lm::scanChanges(read.records, again.records).empty()) __builtin_trap();
    return 0;
}
