#include "core/wizard/SiteFile.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/discovery/DeviceRecord.h"
#include "core/platform/Ipv4.h"
#include "core/wizard/SettingsJson.h"

namespace lm {

namespace {

constexpr std::size_t kMaxSiteFileBytes = 64 * 1024 * 1024;

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

std::string upperId(std::string id) {
    for (char& c : id)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return id;
}

// A text member that may be null or absent; false when it is something else.
bool optionalText(const nlohmann::json& object, const char* key, std::string& text) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return true;
    if (!found->is_string()) return false;
    text = found->get<std::string>();
    return true;
}

// One device's entry; empty when it could be taken, else what is wrong.
std::string deviceFromJson(const nlohmann::json& entry, SavedDevice& device) {
    if (!entry.is_object()) return "is not a JSON object";
    static const std::set<std::string> kKeys = {"address", "mac", "type", "version", "settings", "problem"};
    for (const auto& [key, value] : entry.items())
        if (!kKeys.contains(key)) return "\"" + key + "\" is not known";
    for (const auto& [key, text] :
         {std::pair{"address", &device.address}, std::pair{"mac", &device.mac},
          std::pair{"type", &device.deviceType}, std::pair{"version", &device.version},
          std::pair{"problem", &device.problem}})
        if (!optionalText(entry, key, *text)) return "\"" + std::string(key) + "\" must be a text or null";
    if (!device.address.empty() && !parseIpv4(device.address)) return "\"address\" is no IPv4 address";
    if (const auto settings = entry.find("settings"); settings != entry.end() && !settings->is_null()) {
        if (!settings->is_object()) return "\"settings\" must be a JSON object or null";
        device.settings = *settings;
    }
    if (device.settings.is_null() && device.problem.empty()) return "holds neither settings nor a problem";
    return {};
}

}  // namespace

nlohmann::ordered_json siteToJson(const SiteFile& site) {
    nlohmann::ordered_json json;
    json["programVersion"] = site.programVersion;
    json["takenAt"] = site.takenAt;
    json["devices"] = nlohmann::ordered_json::object();
    json["unidentified"] = nlohmann::ordered_json::array();
    for (const SavedDevice& device : site.devices) {
        nlohmann::ordered_json entry;
        entry["address"] = textOrNull(device.address);
        entry["mac"] = textOrNull(device.mac);
        entry["type"] = textOrNull(device.deviceType);
        entry["version"] = textOrNull(device.version);
        entry["settings"] = device.settings;
        entry["problem"] = textOrNull(device.problem);
        // A second device giving the same ID (two addresses of one device, or a copied MAC) is
        // kept, though it cannot be restored by its ID.
        if (device.id.empty() || json["devices"].contains(device.id))
            json["unidentified"].push_back(entry);
        else
            json["devices"][device.id] = entry;
    }
    return json;
}

std::string siteFromJson(const nlohmann::json& json, SiteFile& site) {
    site = {};
    if (!json.is_object()) return "the file does not hold a JSON object";
    const auto text = [&](const char* key, std::string& into) -> std::string {
        const auto found = json.find(key);
        if (found == json.end() || !found->is_string()) return "\"" + std::string(key) + "\" must be a text";
        into = found->get<std::string>();
        return {};
    };
    if (auto problem = text("programVersion", site.programVersion); !problem.empty()) return problem;
    if (auto problem = text("takenAt", site.takenAt); !problem.empty()) return problem;
    const auto devices = json.find("devices");
    if (devices == json.end() || !devices->is_object())
        return "\"devices\" must be a JSON object keyed by ID";
    std::set<std::string> ids;
    for (const auto& [key, entry] : devices->items()) {
        if (!macOfDeviceId(key)) return "\"" + key + "\" is not a device ID";
        // One device under two spellings of its ID would be restored twice.
        const std::string id = upperId(key);
        if (!ids.insert(id).second) return "device " + id + " is given twice";
        SavedDevice device;
        device.id = id;
        if (auto problem = deviceFromJson(entry, device); !problem.empty())
            return problem.insert(0, "device " + id + ": ");
        site.devices.push_back(std::move(device));
    }
    if (const auto unidentified = json.find("unidentified"); unidentified != json.end()) {
        if (!unidentified->is_array()) return "\"unidentified\" must be a JSON array";
        for (const auto& entry : *unidentified) {
            SavedDevice device;
            if (auto problem = deviceFromJson(entry, device); !problem.empty())
                return "an unidentified device: " + problem;
            site.devices.push_back(std::move(device));
        }
    }
    return {};
}

std::string readSiteFile(const std::string& path, SiteFile& site) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return path + ": cannot be read";
    nlohmann::json json;
    std::string problem = readSettingsJson(file, json, kMaxSiteFileBytes);
    if (problem.empty()) problem = siteFromJson(json, site);
    return problem.empty() ? problem : path + ": " + problem;
}

std::string siteTimeText(std::int64_t secondsSinceEpoch) {
    const std::time_t time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string siteTimeNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return siteTimeText(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

std::string writeSiteFile(const std::string& path, const SiteFile& site) {
    // Device text need not be UTF-8; invalid bytes become U+FFFD instead of failing the dump.
    const std::string text =
        siteToJson(site).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const std::string partial = path + ".partial";
    std::error_code error;
    // The settings hold the devices' dial-up and upload passwords: the file is its owner's alone.
    { std::ofstream(partial, std::ios::binary | std::ios::trunc); }
    std::filesystem::permissions(
        partial, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) {
            std::filesystem::remove(partial, error);
            return path + ": cannot be written";
        }
    }
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return path + ": cannot be written";
    }
    return {};
}

}  // namespace lm
