// A settings file for config apply is anyone's JSON: reading it never crashes, what it accepts
// holds no control characters and only known fields, and settings it accepted, printed as
// config show prints them, are accepted again unchanged.
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/link/ShellInput.h"
#include "core/wizard/SettingsFields.h"
#include "core/wizard/SettingsJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lm;
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    nlohmann::json json;
    if (!readSettingsJson(file, json).empty()) return 0;
    DeviceSettings wanted;
    wanted.httpPort = "80";  // what a read gives a device that names no port
    std::set<std::string> given;
    if (!settingsFromJson(json, wanted, given).empty()) return 0;
    for (const std::string& name : given) {
        const auto* field = wizard::findSettingsField(name);
        check(field != nullptr);
        if (field->kind == wizard::SettingsField::Kind::Text)
            check(!hasControlCharacter(wanted.*field->text));
    }

    auto shown = nlohmann::json(settingsToJson(wanted, {}));
    shown.erase("device");
    DeviceSettings again;
    std::set<std::string> givenAgain;
    check(settingsFromJson(shown, again, givenAgain).empty());
    check(settingsToJson(again, {}) == settingsToJson(wanted, {}));
    return 0;
}
