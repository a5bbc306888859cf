#include "core/wizard/SiteRestore.h"

#include <algorithm>

#include "core/discovery/DeviceRecord.h"
#include "core/platform/TextMatch.h"
#include "core/wizard/DeviceReturn.h"
#include "core/wizard/SettingsJson.h"

namespace lm {

namespace {

// The ID in capitals, or empty when the text is no ID.
std::string canonicalId(std::string_view text) {
    if (!macOfDeviceId(text)) return {};
    std::string id(text);
    for (char& c : id)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return id;
}

const SavedDevice* savedDevice(const SiteFile& site, const std::string& id) {
    for (const SavedDevice& device : site.devices)
        if (!device.id.empty() && device.id == canonicalId(id)) return &device;
    return nullptr;
}

// The IDs of the saved devices a choice restores.
std::vector<std::string> chosenIds(const SiteFile& site, const RestoreChoice& choice) {
    std::vector<std::string> ids;
    if (choice.ids.empty()) {
        for (const SavedDevice& device : site.devices)
            if (!device.id.empty()) ids.push_back(device.id);
    } else {
        for (const std::string& id : choice.ids)
            ids.push_back(canonicalId(id));
    }
    return ids;
}

std::string targetOf(const RestoreChoice& choice, const std::string& id) {
    const auto replaced = choice.replacements.find(id);
    return replaced == choice.replacements.end() ? id : replaced->second;
}

// A saved number of the "device" object, when the file gives one.
std::optional<long long> savedNumber(const SavedDevice& saved, const char* key) {
    const auto device = saved.settings.find("device");
    if (device == saved.settings.end() || !device->is_object()) return std::nullopt;
    const auto value = device->find(key);
    if (value == device->end()) return std::nullopt;
    if (value->is_boolean()) return value->get<bool>() ? 1 : 0;
    if (value->is_number_integer()) return value->get<long long>();
    return std::nullopt;
}

}  // namespace

bool parseReplacement(const std::string& text, std::pair<std::string, std::string>& replacement) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) return false;
    replacement = {canonicalId(text.substr(0, equals)), canonicalId(text.substr(equals + 1))};
    return !replacement.first.empty() && !replacement.second.empty();
}

std::string restoreChoiceProblem(const SiteFile& site, const RestoreChoice& choice) {
    for (const std::string& id : choice.ids)
        if (!savedDevice(site, id)) return "the file holds no device " + id;
    for (const auto& [old, replacement] : choice.replacements) {
        if (!savedDevice(site, old)) return "--replace: the file holds no device " + old;
        if (old == replacement) return "--replace: " + old + " replaces itself";
    }
    // Two saved devices onto one device would leave it with whichever came last.
    std::map<std::string, std::string> onto;
    for (const std::string& id : chosenIds(site, choice)) {
        const std::string target = targetOf(choice, id);
        if (const auto [taken, added] = onto.emplace(target, id); !added) {
            std::string both = "the settings of " + taken->second;
            both += " and of " + id;
            both += " would both go onto " + target;
            return both + ": choose the IDs to restore";
        }
    }
    return {};
}

std::vector<RestorePlanRow> planRestore(const SiteFile& site, const RestoreChoice& choice,
                                        const std::vector<BatchDevice>& scanned,
                                        const std::string& programVersion) {
    std::vector<RestorePlanRow> plan;
    for (const std::string& id : chosenIds(site, choice)) {
        const SavedDevice* saved = savedDevice(site, id);
        if (!saved) continue;
        RestorePlanRow row;
        row.saved = *saved;
        row.target.id = targetOf(choice, id);
        const auto found = std::find_if(scanned.begin(), scanned.end(), [&](const BatchDevice& device) {
            return canonicalId(device.id) == row.target.id;
        });
        if (found != scanned.end()) {
            row.target.host = found->host;
            row.target.deviceType = found->deviceType;
        }
        const auto end = [&](BatchResult result, std::string message) {
            row.result = result;
            row.message = std::move(message);
        };
        if (site.programVersion != programVersion)
            end(BatchResult::Refused, "the file was written by version " + site.programVersion +
                                          " of this program, not by this version (" + programVersion + ")");
        else if (saved->settings.is_null())
            end(BatchResult::Skipped, "its settings were not saved: " + saved->problem);
        else if (row.target.host.empty())
            end(BatchResult::Unreachable, "the scan found no device " + row.target.id);
        else if (!saved->deviceType.empty() && !row.target.deviceType.empty() &&
                 asciiLower(saved->deviceType) != asciiLower(row.target.deviceType))
            end(BatchResult::Refused,
                "the device is a " + row.target.deviceType + ", the settings are of a " + saved->deviceType);
        plan.push_back(std::move(row));
    }
    return plan;
}

std::string restoredSettings(const SavedDevice& saved, const std::string& targetId,
                             const DeviceSettings& read, DeviceSettings& wanted,
                             std::set<std::string>& given) {
    if (read.macAddress.empty())
        return "the device did not give its MAC, so it cannot be told to be " + targetId;
    if (const std::string id = deviceIdFromMac(read.macAddress); canonicalId(id) != canonicalId(targetId))
        return "the device answering is " + id + ", not " + targetId;
    if (const auto kind = savedNumber(saved, "deviceKind"); !kind || *kind != read.deviceKind)
        return "the device is of another kind (" + std::to_string(read.deviceKind) +
               ") than the saved one (" + (kind ? std::to_string(*kind) : std::string("not saved")) + ")";
    if (const auto second = savedNumber(saved, "secondGeneration");
        !second || (*second != 0) != read.secondGeneration)
        return std::string("the device is of ") + (read.secondGeneration ? "the second" : "the first") +
               " generation, the saved one is not";
    wanted = read;
    given.clear();
    std::string problem = settingsFromJson(saved.settings, wanted, given);
    if (problem.empty()) problem = unwritableSetting(wanted, given);
    return problem.empty() ? problem : "the saved settings cannot be written: " + problem;
}

}  // namespace lm
