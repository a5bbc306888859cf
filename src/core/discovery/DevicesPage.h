#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/discovery/DeviceRecord.h"

namespace lm {

// The all-devices page "cameras.html": every device's live picture through its own viewer applet,
// with links to its home and configuration pages, `cellsPerRow` devices to a row (at least one).
// Browsers without applets show the applet's fallback instead: the device's picture, refreshed
// every few seconds. URLs reach each device at webAddress(address, httpPort).
// Identifiers and addresses come from devices and users, so they are escaped for HTML where shown
// and percent-encoded where they form a URL; a plain "host" or "host:port" stays as it is.
std::string devicesPageText(const std::vector<DeviceRecord>& records, int cellsPerRow, uint16_t httpPort);

// Devices per row: one 320-pixel cell per 320 usable pixels, at least one; four devices make two
// rows of two rather than one row of four.
int devicesPageCellsPerRow(int usableWidthPixels, std::size_t deviceCount);

// Creates or replaces the file; false when it cannot be created or written completely.
bool writeDevicesPage(const std::string& path, const std::string& text);

}  // namespace lm
