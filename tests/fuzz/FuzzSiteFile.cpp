// A site file for config restore is anyone's JSON: reading it never crashes, what it accepts names
// each device by a well-formed ID once, writes back to the same file, and plans and checks a restore
// of every device without crashing.
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/discovery/DeviceRecord.h"
#include "core/wizard/SettingsJson.h"
#include "core/wizard/SiteRestore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lm;
    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    nlohmann::json json;
    if (!readSettingsJson(text, json).empty()) return 0;
    SiteFile site;
    if (!siteFromJson(json, site).empty()) return 0;
    std::set<std::string> ids;
    std::vector<BatchDevice> scanned;
    for (const SavedDevice& device : site.devices) {
        check(!device.settings.is_null() || !device.problem.empty());
        if (device.id.empty()) continue;
        check(macOfDeviceId(device.id).has_value() && ids.insert(device.id).second);
        scanned.push_back(
            {device.address.empty() ? "127.0.0.1" : device.address, device.id, device.deviceType});
    }
    SiteFile again;
    check(siteFromJson(nlohmann::json(siteToJson(site)), again).empty());
    check(nlohmann::json(siteToJson(again)) == nlohmann::json(siteToJson(site)));

    if (!restoreChoiceProblem(site, {}).empty()) return 0;
    for (const RestorePlanRow& row : planRestore(site, {}, scanned, site.programVersion)) {
        if (row.result != BatchResult::Ok) continue;
        DeviceSettings read;
        read.macAddress = *macOfDeviceId(row.target.id);
        DeviceSettings wanted;
        std::set<std::string> given;
        restoredSettings(row.saved, row.target.id, read, wanted, given);
    }
    return 0;
}
