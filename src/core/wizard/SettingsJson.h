#pragma once

#include <istream>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "core/link/FirmwareVersion.h"
#include "core/wizard/DeviceSettings.h"

namespace lm {

// The settings as config show prints them: the editable fields at the top level, what the device
// reports under "device".
nlohmann::ordered_json settingsToJson(const DeviceSettings& settings, const FirmwareVersion& firmware);

// Reads the text of a settings file strictly: at most maxBytes of valid JSON that gives no key twice
// in one object. Empty when json holds it, else what is wrong.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
std::string readSettingsJson(std::istream& in, nlohmann::json& json,
                             std::size_t maxBytes = kMaxSettingsFileBytes);

// Takes the editable fields a JSON object gives into wanted and their names into given; "device" is
// ignored. Empty when all could be taken, else what is wrong, naming the key.
std::string settingsFromJson(const nlohmann::json& object, DeviceSettings& wanted,
                             std::set<std::string>& given);

// The first value given that would change the meaning of a device file (perhaps one show read from
// a hostile device), with why; empty when every one can be written.
std::string unwritableSetting(const DeviceSettings& wanted, const std::set<std::string>& given);

}  // namespace lm
