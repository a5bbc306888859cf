#include "core/wizard/DeviceReturn.h"

#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/http/TcpConnection.h"
#include "core/platform/HexDigit.h"
#include "core/platform/Ipv4.h"

namespace lm {

namespace {

constexpr Milliseconds kConnectWait{1000};
constexpr Milliseconds kRetryPause{1000};
constexpr Milliseconds kScanQuiet{2000};

}  // namespace

std::string deviceIdFromMac(const std::string& mac) {
    if (mac.size() != 17) return {};
    uint8_t bytes[6];
    for (std::size_t i = 0; i < 6; ++i) {
        const int high = hexDigitValue(mac[i * 3]), low = hexDigitValue(mac[i * 3 + 1]);
        if (high < 0 || low < 0 || (i < 5 && mac[i * 3 + 2] != ':')) return {};
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return deviceIdOfMac(bytes);
}

std::optional<std::string> waitForDeviceReturn(const DeviceSettings& settings, const std::string& id,
                                               const NetworkProfile& profile, const Timing& timing,
                                               Milliseconds limit, const std::function<bool()>& stop) {
    const Deadline deadline(limit);
    const auto giveUp = [&] { return deadline.expired() || (stop && stop()); };
    if (!settings.ipDhcp) {
        if (!parseIpv4(settings.ipAddress)) return std::nullopt;
        while (!giveUp()) {
            TcpConnection connection(kConnectWait, deadline);
            if (connection.open(settings.ipAddress, profile.telnetPort)) return settings.ipAddress;
            // A refused connection comes back at once; do not hammer a device that is still starting.
            timing.pause(kRetryPause);
        }
        return std::nullopt;
    }
    if (id.empty()) return std::nullopt;
    while (!giveUp()) {
        DeviceInventory inventory;
        DiscoveryScan(inventory, profile).run(kScanQuiet);
        for (const DeviceRecord& record : inventory.snapshot())
            if (record.id == id) return record.hostPart();
    }
    return std::nullopt;
}

}  // namespace lm
