#include "core/wizard/SettingsParser.h"

#include <algorithm>
#include <array>
#include <climits>

#include "core/platform/Scanner.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

constexpr std::array<std::string_view, 5> kSecondGeneration{"Draviel", "Zelvix3", "ZelvixXL", "ZelvixSC",
                                                            "Wardlumen"};

std::string withoutTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n' || text.back() == '\v' || text.back() == '\f'))
        text.pop_back();
    return text;
}

bool isYes(const std::string& value) {
    return asciiLower(value) == "yes";
}

}  // namespace

std::size_t SettingsLines::find(std::string_view key) const {
    if (key.empty()) return lines_.size();
    const std::string lowered = asciiLower(key);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (contains(asciiLower(lines_[i]), lowered)) return i;
    return lines_.size();
}

std::string SettingsLines::valueAt(std::size_t index, std::string_view key) const {
    const std::string& line = lines_[index];
    std::string value = line.substr(asciiLower(line).find(asciiLower(key)) + key.size());
    value = value.substr(0, value.find('\n'));
    return value.substr(0, value.find('\r'));
}

std::string SettingsLines::take(std::string_view key) {
    const std::size_t at = find(key);
    if (at == lines_.size()) return {};
    std::string value = valueAt(at, key);
    lines_[at] = "used";
    return value;
}

std::string SettingsLines::peek(std::string_view key) const {
    const std::size_t at = find(key);
    return at == lines_.size() ? std::string() : valueAt(at, key);
}

bool SettingsLines::has(std::string_view key) const {
    return find(key) != lines_.size();
}

bool SettingsLines::anyLineHolds(std::string_view text) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& line) { return contains(line, text); });
}

bool namesSecondGeneration(std::string_view versionLine) {
    return std::any_of(kSecondGeneration.begin(), kSecondGeneration.end(),
                       [&](std::string_view name) { return contains(versionLine, name); });
}

int deviceKindOf(std::string_view versionLine) {
    if (contains(versionLine, "PellMandor")) return 1;
    if (contains(versionLine, "Farloomer_SP")) return 2;
    return 0;
}

VersionFacts parseVersionFile(std::vector<std::string>& lines, DeviceSettings& settings,
                              FirmwareVersion previous) {
    SettingsLines file(lines);
    settings.secondGeneration = std::any_of(kSecondGeneration.begin(), kSecondGeneration.end(),
                                            [&](std::string_view name) { return !file.peek(name).empty(); });
    settings.deviceKind = !file.peek("PellMandor").empty() ? 1 : !file.peek("Farloomer_SP").empty() ? 2 : 0;

    VersionFacts facts{previous, false};
    const std::string version = file.take("version");
    if (!version.empty()) {
        // As "%d.%d.%d" reads it: the numbers up to the first that is missing.
        Scanner scan(version);
        FirmwareVersion& f = facts.firmware;
        const auto part = [&scan](int& into) {
            const auto number = scan.integer();
            if (number) into = static_cast<int>(std::clamp<long long>(*number, INT_MIN, INT_MAX));
            return number.has_value();
        };
        if (part(f.major) && scan.literal('.') && part(f.minor) && scan.literal('.')) part(f.patch);
    }
    facts.romWarning = version.empty() || facts.firmware.major <= 0;
    return facts;
}

void parseIfconfig(std::vector<std::string>& lines, DeviceSettings& settings) {
    const std::string mac = SettingsLines(lines).take("HWaddr ");
    settings.macAddress = mac.empty() ? DeviceSettings::kUnknownMac : mac.substr(0, 17);
}

void parseBoaConf(std::vector<std::string>& lines, DeviceSettings& settings) {
    const std::string port = SettingsLines(lines).take("Port ");
    settings.httpPort = port.empty() ? "80" : port;
}

void parseDialoutConf(std::vector<std::string>& lines, DeviceSettings& settings) {
    SettingsLines file(lines);
    const std::string speed = file.take("DEVICE_SPEED=");
    settings.baudRate = speed.empty() ? "38400" : speed;
    settings.modemInit = file.take("MODEM_INIT=");
    settings.phoneNumber = file.take("PHONE_NUMBER=");
    settings.connectTimeout = file.take("CONNECT_TIMEOUT=");
    settings.ispUser = file.take("USERNAME=");
    settings.ispPassword = file.take("PASSWORD=");
    if (std::string isp = file.take("ISP="); !isp.empty()) settings.ispName = std::move(isp);
    settings.alwaysUp = isYes(file.take("ALWAYS_UP="));
    settings.sendCr = isYes(file.take("SEND_CR="));
    settings.shellLogin = isYes(file.take("SHELL_LOGIN="));
    settings.primaryIsNetwork = !isYes(file.take("ENABLED="));
    if (const auto model = recogniseModem(settings)) settings.modemModel = *model;
}

void parseUploadFile(std::vector<std::string>& lines, DeviceSettings& s) {
    SettingsLines file(lines);
    const auto either = [&file](std::string_view first, std::string_view second) {
        std::string value = file.take(first);
        return value.empty() ? file.take(second) : value;
    };
    s.ftpTimeout = either("timeout ", "timeout=");
    if (s.ftpTimeout.empty()) s.ftpTimeout = "300";
    s.ftpHost = either("open ", "hostname=");

    const std::string account = withoutTrailingBlanks(either("user ", "user="));
    if (const auto blank = account.find(' '); blank != std::string::npos) {
        s.ftpUser = account.substr(0, blank);
        s.ftpPassword = account.substr(blank + 1);
    } else {
        s.ftpUser = account;
        s.ftpPassword.clear();
    }
    if (std::string password = withoutTrailingBlanks(file.take("assword=")); !password.empty())
        s.ftpPassword = std::move(password);

    const std::string passive = asciiLower(file.take("passiv"));
    s.passiveMode = passive == "e" || passive.starts_with("e=on");
    if (const std::string archive = file.take("archive="); contains(archive, "on")) {
        s.archive = true;
    } else if (contains(archive, "off")) {
        s.archive = false;
    }

    const bool keyForm = file.has("filename=");
    if (keyForm) s.ftpPath = file.take("filename=");
    s.ftpPath2 = file.has("filename2=") ? file.take("filename2=") : DeviceSettings::kNotSupported;
    // The address page's name says whether it carries the device's ID.
    std::string addressPage = file.take("filename3=");
    if (!keyForm) {
        // An FTP script: the folder from its "cd" lines, the name from the image's put.
        s.ftpPath = file.take("cd ");
        if (std::string second = file.take("cd "); !second.empty()) s.ftpPath = std::move(second);
        if (!s.ftpPath.empty()) s.ftpPath += "/";
        const std::string put = file.take("put /var/httpd/zelvix.jpg ");
        const auto tmp = put.find(".tmp");
        s.ftpPath = tmp == std::string::npos ? std::string() : s.ftpPath + put.substr(0, tmp);
        addressPage = file.take("put /var/httpd/ip.html ");
        addressPage = addressPage.substr(0, addressPage.find(".tmp"));
    }
    s.useIdHtmlName = addressPage.substr(addressPage.rfind('/') + 1) == idPageName(s.macAddress) &&
                      idPageName(s.macAddress) != "ip.html";

    s.deleteBeforeRename = false;
    s.iisWorkaround = false;
    if (file.has("delete_file=")) {
        s.deleteBeforeRename = file.take("delete_file=").starts_with("on");
        s.iisWorkaround = file.take("iis_bug=").starts_with("on");
    } else {
        s.deleteBeforeRename = !file.take("delete ").empty();
        s.iisWorkaround = file.anyLineHolds(".del");
    }
}

void parseIfcfgEth0(std::vector<std::string>& lines, DeviceSettings& settings) {
    SettingsLines file(lines);
    settings.ipAddress = file.take("IPADDR=");
    settings.netmask = file.take("NETMASK=");
    settings.ipDhcp = asciiLower(file.take("BOOTPROTO=")) == "dhcp";
    // Ethernet can be off only behind a dial-out link; otherwise the modem page's choice starts on.
    settings.disableEthernet =
        settings.primaryIsNetwork || asciiLower(withoutTrailingBlanks(file.take("ONBOOT="))) == "no";
}

void parseNetworkFile(std::vector<std::string>& lines, DeviceSettings& settings) {
    SettingsLines file(lines);
    settings.hostname = file.take("HOSTNAME=");
    settings.gateway = file.take("GATEWAY=");
}

void parseResolvConf(std::vector<std::string>& lines, DeviceSettings& settings) {
    SettingsLines file(lines);
    settings.domain = file.take("domain ");
    settings.dns1 = file.take("nameserver ");
    settings.dns2 = file.take("nameserver ");
    settings.dns3 = file.take("nameserver ");
}

void parseScheduleFile(std::vector<std::string>& lines, DeviceSettings& s) {
    SettingsLines file(lines);
    s.everyDay = false;
    s.scheduleUnit = 1;
    if (const std::string upload = asciiLower(file.take("sched_ftp_upload=")); !upload.empty())
        s.uploadEnabled = upload == "on";
    s.scheduleEvery = file.take("sched_ftp_delay=");
    if (s.scheduleEvery.empty() || s.scheduleEvery == "0") s.scheduleEvery = "10";
    s.scheduleStart = file.take("sched_ftp_time_start=");
    s.scheduleStop = file.take("sched_ftp_time_stop=");
    const bool allDay =
        (s.scheduleStart == "00:00" || s.scheduleStart == "0:00 ") && s.scheduleStop == "24:00";
    if (s.scheduleStart.empty() || s.scheduleStop.empty() || allDay) {
        s.scheduleStart = "05:00";
        s.scheduleStop = "19:00";
        s.scheduleWindow = false;
    } else {
        s.scheduleWindow = true;
    }
    const std::array<std::pair<const char*, bool*>, 7> days{{{"sched_ftp_day_sun=", &s.daySun},
                                                             {"sched_ftp_day_mon=", &s.dayMon},
                                                             {"sched_ftp_day_tue=", &s.dayTue},
                                                             {"sched_ftp_day_wed=", &s.dayWed},
                                                             {"sched_ftp_day_thu=", &s.dayThu},
                                                             {"sched_ftp_day_fri=", &s.dayFri},
                                                             {"sched_ftp_day_sat=", &s.daySat}}};
    int on = 0;
    for (const auto& [key, flag] : days) {
        *flag = asciiLower(file.take(key)) == "on";
        on += *flag;
    }
    s.everyDay = on == 0 || on == 7;
}

}  // namespace lm
