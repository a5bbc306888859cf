#include "SettingsJson.h"

#include "link/ShellInput.h"
#include "wizard/PageRules.h"
#include "wizard/SettingsFields.h"

namespace lm::cli {

using wizard::SettingsField;

nlohmann::ordered_json settingsToJson(const DeviceSettings& settings, const FirmwareVersion& firmware) {
    nlohmann::ordered_json json;
    for (const SettingsField& field : wizard::settingsFields()) {
        switch (field.kind) {
            case SettingsField::Kind::Text:
                json[field.name] = settings.*field.text;
                break;
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
    json["device"] = {{"firmwareMajor", firmware.major},   {"firmwareMinor", firmware.minor},
                      {"firmwarePatch", firmware.patch},   {"macAddress", settings.macAddress},
                      {"deviceKind", settings.deviceKind}, {"secondGeneration", settings.secondGeneration},
                      {"serialPort", settings.serialPort}};
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
                if (!value.is_string()) return problem + "a text";
                const std::string text = value.get<std::string>();
                if (const auto refused = shellValueProblem(ShellValue::Text, text, key); !refused.empty())
                    return refused;
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
                    return problem + "one of " + names;
                }
                break;
        }
        given.insert(key);
    }
    return {};
}

}  // namespace lm::cli
