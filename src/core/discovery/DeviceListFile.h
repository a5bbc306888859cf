#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/DeviceRecord.h"

namespace lm {

// The device list as a file: JSON (an array of one object per device) or CSV with a header row.
// Both carry the same fields under the same names. Where the list shows a stand-in ("Unknown", the
// version "Unknown (ARP)", a manual entry's name for its ID) or nothing, JSON says null and CSV
// leaves the cell empty.

std::string deviceListJson(const std::vector<DeviceRecord>& records);
std::string deviceListCsv(const std::vector<DeviceRecord>& records);

// The record as a file keeps it: stand-ins gone (an ID as "Unknown", the rest empty), so a record
// of this scan compares with one read back from a file.
DeviceRecord savedForm(DeviceRecord record);

// A saved list read back; error says what is wrong when it could not be read.
struct DeviceListRead {
    std::vector<DeviceRecord> records;
    std::string error;

    bool ok() const { return error.empty(); }
};

// A saved file is untrusted: whatever it holds costs at most these.
inline constexpr std::size_t kMaxListFileBytes = 32 * 1024 * 1024;
inline constexpr std::size_t kMaxListDevices = 65'536;

// Reads a JSON list as deviceListJson writes it. Each device needs "id" (null reads as "Unknown")
// and "address"; the other fields may be missing (lists saved before they existed) or null; keys it
// does not know are ignored.
DeviceListRead readDeviceListJson(std::string_view text);

// The same from a file; the error names the file.
DeviceListRead readDeviceListFile(const std::string& path);

}  // namespace lm
