// The wizard's parsing of a device's configuration files over whatever lines a device prints: no
// crash, and the fields that have fixed forms keep them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "core/wizard/SettingsParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lm;
    const std::string input(reinterpret_cast<const char*>(data), size);
    using Parse = void (*)(std::vector<std::string>&, DeviceSettings&);
    DeviceSettings settings;
    for (Parse parse : {parseIfconfig, parseBoaConf, parseDialoutConf, parseUploadFile, parseIfcfgEth0,
                        parseNetworkFile, parseResolvConf, parseScheduleFile}) {
        auto lines = linesOf(input);
        parse(lines, settings);
    }
    auto lines = linesOf(input);
    parseVersionFile(lines, settings, {});

    check(settings.macAddress.size() <= 17);
    check(!settings.httpPort.empty() && !settings.baudRate.empty() && !settings.ftpTimeout.empty());
    check(!settings.scheduleEvery.empty() && settings.scheduleUnit == 1);
    for (const std::string* value : {&settings.ftpPath, &settings.dns1, &settings.scheduleStart})
        check(value->find('\n') == std::string::npos && value->find('\r') == std::string::npos);
    check(settings.everyDay || settings.daySun || settings.dayMon || settings.dayTue || settings.dayWed ||
          settings.dayThu || settings.dayFri || settings.daySat);
    return 0;
}
