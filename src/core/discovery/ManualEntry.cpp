#include "core/discovery/ManualEntry.h"

namespace lm {

std::string manualEntryAddress(const std::string& addressText, const std::string& portText) {
    // Checked before the port is appended: "0.0.0.0:8080" would otherwise be added, and on this
    // system 0.0.0.0 reaches the PC itself.
    if (addressText.empty() || addressText == "0.0.0.0") return {};
    if (portText.empty() || portText == "80") return addressText;
    return addressText + ":" + portText;
}

bool addManualDevice(DeviceInventory& inventory, const std::string& address) {
    if (address.empty()) return false;
    const unsigned number = ++inventory.manualDeviceCounter;
    inventory.add("Device  " + std::to_string(number), address, "Unknown", "Unknown");
    inventory.notify(ID_LIST_REFILL);
    inventory.notify(ID_STATUS_UPDATE);
    return true;
}

}  // namespace lm
