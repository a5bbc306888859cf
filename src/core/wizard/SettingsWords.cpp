#include "core/wizard/SettingsWords.h"

namespace lm {

namespace {

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

std::string labelled(const char* label, const std::string& value) {
    return value.empty() ? std::string() : label + value;
}

std::string network(const DeviceSettings& s) {
    if (s.ipDhcp) return "address from DHCP";
    return joined({"static address " + (s.ipAddress.empty() ? std::string("(none)") : s.ipAddress),
                   labelled("netmask ", s.netmask), labelled("gateway ", s.gateway)},
                  ", ");
}

std::string names(const DeviceSettings& s) {
    const std::string servers = joined({s.dns1, s.dns2, s.dns3}, ", ");
    const std::string text = joined({labelled("host name ", s.hostname), labelled("domain ", s.domain),
                                     labelled("name servers ", servers)},
                                    "; ");
    return text.empty() ? "none set" : text;
}

std::string upload(const DeviceSettings& s) {
    if (!s.uploadEnabled) return "off";
    std::string text = "FTP to " + (s.ftpHost.empty() ? std::string("(no server)") : s.ftpHost);
    if (!s.ftpUser.empty()) text += " as " + s.ftpUser;
    if (!s.ftpPath.empty()) text += ", folder " + s.ftpPath;
    text += s.passiveMode ? ", passive mode" : ", active mode";
    if (s.archive) text += ", keeping an archive";
    return text;
}

std::string schedule(const DeviceSettings& s) {
    const char* unit = s.scheduleUnit == 3600 ? " hours" : s.scheduleUnit == 60 ? " minutes" : " seconds";
    std::string text = "every " + s.scheduleEvery + unit;
    if (s.scheduleWindow) text += ", from " + s.scheduleStart + " to " + s.scheduleStop;
    if (s.everyDay) return text + ", every day";
    const std::pair<bool, const char*> days[] = {{s.daySun, "Sun"}, {s.dayMon, "Mon"}, {s.dayTue, "Tue"},
                                                 {s.dayWed, "Wed"}, {s.dayThu, "Thu"}, {s.dayFri, "Fri"},
                                                 {s.daySat, "Sat"}};
    std::vector<std::string> chosen;
    for (const auto& [on, day] : days)
        if (on) chosen.emplace_back(day);
    return text + (chosen.empty() ? ", on no day" : ", on " + joined(chosen, " "));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> settingsInWords(const DeviceSettings& settings) {
    std::vector<std::pair<std::string, std::string>> words = {
        {"Network", network(settings)},
        {"Names", names(settings)},
        {"Web port", settings.httpPort.empty() ? "80" : settings.httpPort},
        {"Upload", upload(settings)},
    };
    if (settings.uploadEnabled) words.emplace_back("Schedule", schedule(settings));
    return words;
}

}  // namespace lm
