#include "core/wizard/SettingsJson.h"

#include <vector>

#include "core/link/ShellInput.h"
#include "core/platform/WholeNumber.h"
#include "core/wizard/DeviceReturn.h"
#include "core/wizard/FileValueRules.h"
#include "core/wizard/PageRules.h"
#include "core/wizard/SettingsFields.h"

namespace lm {

using wizard::SettingsField;

namespace {

// U+0080..U+009F in UTF-8: some terminals and device tools obey them as escapes.
bool hasC1Control(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) == 0xC2 && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    return false;
}

// The text fields that hold a number: a file gives them as numbers, or as text for a value that is
// not one (show prints what the device holds).
bool holdsNumber(const std::string& key) {
    for (const char* name : {"httpPort", "connectTimeout", "baudRate", "ftpTimeout", "scheduleEvery"})
        if (key == name) return true;
    return false;
}

// A text value; for a field that holds a number also a whole number, which for the web port must
// be in range.
std::string textValue(const std::string& key, const nlohmann::json& value, std::string& text) {
    if (key == "httpPort") {
        text = value.is_number_unsigned() ? std::to_string(value.get<unsigned long long>())
               : value.is_string()        ? value.get<std::string>()
                                          : std::string("-");
        if (!parseWholeNumber<int>(text, 1, 65535))
            return "\"httpPort\" must be a port number from 1 to 65535";
        return {};
    }
    if (holdsNumber(key) && value.is_number_unsigned()) {
        text = std::to_string(value.get<unsigned long long>());
        return {};
    }
    if (!value.is_string())
        return "\"" + key + (holdsNumber(key) ? "\" must be a whole number" : "\" must be a text");
    text = value.get<std::string>();
    if (hasC1Control(text)) return "the " + key + " holds a C1 control character (U+0080 to U+009F)";
    return shellValueProblem(ShellValue::Text, text, key);
}

}  // namespace

std::string readSettingsJson(std::istream& in, nlohmann::json& json, std::size_t maxBytes) {
    std::string text(maxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return "cannot be read";
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > maxBytes)
        return maxBytes % (1024 * 1024) == 0
                   ? "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB"
                   : "larger than " + std::to_string(maxBytes) + " bytes";

    // A key given twice would leave one of its values unsaid: which one counts is refused, not guessed.
    std::vector<std::set<std::string>> objects;
    std::string twice;
    const auto keys = [&](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (event == Event::object_start) objects.emplace_back();
        if (event == Event::object_end && !objects.empty()) objects.pop_back();
        if (event == Event::key && !objects.empty() && twice.empty() &&
            !objects.back().insert(parsed.get<std::string>()).second)
            twice = parsed.get<std::string>();
        return true;
    };
    json = nlohmann::json::parse(text, keys, false);
    if (json.is_discarded()) return "not valid JSON";
    if (!twice.empty()) return "\"" + twice + "\" is given twice";
    return {};
}

nlohmann::ordered_json settingsToJson(const DeviceSettings& settings, const FirmwareVersion& firmware) {
    nlohmann::ordered_json json;
    for (const SettingsField& field : wizard::settingsFields()) {
        switch (field.kind) {
            case SettingsField::Kind::Text: {
                const std::string& text = settings.*field.text;
                // Only a number written as such: "0080" or "" stay text, so apply writes them back unchanged.
                const auto number =
                    holdsNumber(field.name) ? parseWholeNumber<unsigned>(text, 0, 999999999) : std::nullopt;
                if (number && std::to_string(*number) == text)
                    json[field.name] = *number;
                else
                    json[field.name] = text;
                break;
            }
            case SettingsField::Kind::Flag:
                json[field.name] = settings.*field.flag;
                break;
            case SettingsField::Kind::Number:
                json[field.name] = settings.*field.number;
                break;
            case SettingsField::Kind::Modem:
                json[field.name] = modemModelName(settings.modemModel);
                break;
        }
    }
    const auto orNull = [](const std::string& text) {
        return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
    };
    nlohmann::ordered_json device;
    device["id"] = orNull(settings.macAddress.empty() ? "" : deviceIdFromMac(settings.macAddress));
    device["mac"] = orNull(settings.macAddress);
    device["firmwareMajor"] = firmware.major;
    device["firmwareMinor"] = firmware.minor;
    device["firmwarePatch"] = firmware.patch;
    device["deviceKind"] = settings.deviceKind;
    device["secondGeneration"] = settings.secondGeneration;
    device["serialPort"] = orNull(settings.serialPort);
    json["device"] = device;
    return json;
}

std::string settingsFromJson(const nlohmann::json& object, DeviceSettings& wanted,
                             std::set<std::string>& given) {
    if (!object.is_object()) return "the file does not hold a JSON object";
    for (const auto& [key, value] : object.items()) {
        if (key == "device") continue;
        const SettingsField* field = wizard::findSettingsField(key);
        if (!field) return "\"" + key + "\" is not a setting";
        const std::string problem = "\"" + key + "\" must be ";
        switch (field->kind) {
            case SettingsField::Kind::Text: {
                std::string text;
                if (const auto refused = textValue(key, value, text); !refused.empty()) return refused;
                wanted.*field->text = text;
                break;
            }
            case SettingsField::Kind::Flag:
                if (!value.is_boolean()) return problem + "true or false";
                wanted.*field->flag = value.get<bool>();
                break;
            case SettingsField::Kind::Number: {
                const bool unit = value.is_number_integer() &&
                                  (value.get<long long>() == 1 || value.get<long long>() == 60 ||
                                   value.get<long long>() == 3600);
                if (!unit) return problem + "1, 60 or 3600 (seconds per unit)";
                wanted.*field->number = value.get<int>();
                break;
            }
            case SettingsField::Kind::Modem:
                if (!value.is_string() || !modemModelFromName(value.get<std::string>(), wanted.modemModel)) {
                    std::string names;
                    for (const std::string& name : wizard::modemNames())
                        names += (names.empty() ? "\"" : ", \"") + name + "\"";
                    return names.insert(0, problem + "one of ");
                }
                break;
        }
        given.insert(key);
    }
    return {};
}

std::string unwritableSetting(const DeviceSettings& wanted, const std::set<std::string>& given) {
    for (const std::string& name : given) {
        const auto* field = wizard::findSettingsField(name);
        if (!field || !field->text) continue;
        if (std::string why = wizard::fileValueProblem(name, wanted.*field->text); !why.empty())
            return why.insert(0, "\"" + name + "\" ");
    }
    return {};
}

}  // namespace lm
