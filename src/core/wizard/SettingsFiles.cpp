#include "core/wizard/SettingsFiles.h"

#include <arpa/inet.h>

#include <array>

#include "core/platform/Ipv4.h"
#include "core/platform/Scanner.h"
#include "core/wizard/SettingsMerge.h"

namespace lm {

namespace {

using Lines = std::vector<std::string>;

const char* onOff(bool on) {
    return on ? "on" : "off";
}

const char* yesNo(bool yes) {
    return yes ? "yes" : "no";
}

std::string uploadPath(const DeviceSettings& s) {
    return s.secondGeneration ? "/var/tmp/ftp0.conf" : "/var/tmp/ftp.conf";
}

std::string schedulePath(const DeviceSettings& s) {
    return s.secondGeneration ? "/var/tmp/sched0.conf" : "/var/tmp/sched.conf";
}

// The address page's name on the server, in the image's folder: "pics/ip9A2B.html" with the last
// two MAC bytes when asked for, else "pics/ip.html". A MAC too short to hold them adds nothing.
std::string addressPage(const DeviceSettings& s) {
    const auto slash = s.ftpPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : s.ftpPath.substr(0, slash + 1);
    return folder + (s.useIdHtmlName ? idPageName(s.macAddress) : "ip.html");
}

// The upload of one file under a temporary name, then the rename over the old one, which is
// deleted first when asked (renamed away first for IIS 4.0, which cannot delete a file in use).
void addUpload(Lines& lines, const DeviceSettings& s, const std::string& local, const std::string& remote) {
    lines.push_back("put " + local + " " + remote + ".tmp");
    if (s.deleteBeforeRename) {
        if (s.iisWorkaround) {
            lines.push_back("rename " + remote + " " + remote + ".del");
            lines.push_back("delete " + remote + ".del");
        } else {
            lines.push_back("delete " + remote);
        }
    }
    lines.push_back("rename " + remote + ".tmp " + remote);
}

Lines uploadKeys(const DeviceSettings& s) {
    return {"timeout=" + s.ftpTimeout,
            "hostname=" + s.ftpHost,
            "user=" + s.ftpUser,
            "password=" + s.ftpPassword,
            std::string("passive=") + onOff(s.passiveMode),
            std::string("archive=") + onOff(s.archive),
            std::string("delete_file=") + onOff(s.deleteBeforeRename),
            std::string("iis_bug=") + onOff(s.iisWorkaround),
            "filename=" + s.ftpPath,
            "filename2=" + (s.ftpPath2 == DeviceSettings::kNotSupported ? "" : s.ftpPath2),
            "filename3=" + addressPage(s)};
}

Lines uploadScript(const DeviceSettings& s) {
    Lines lines{"timeout " + s.ftpTimeout};
    if (!s.ftpHost.empty()) lines.push_back("open " + s.ftpHost);
    if (!s.ftpUser.empty()) lines.push_back("user " + s.ftpUser + " " + s.ftpPassword);
    lines.push_back("binary");
    if (s.passiveMode) lines.push_back("passive");
    if (!s.ftpPath.empty()) {
        addUpload(lines, s, "/var/httpd/ip.html", addressPage(s));
        addUpload(lines, s, "/var/httpd/zelvix.jpg", s.ftpPath);
    }
    lines.push_back("quit");
    return lines;
}

Lines chatScript(const DeviceSettings& s) {
    return {"TIMEOUT       5",
            "ABORT         'ERROR'",
            "''            " + s.modemInit,
            "OK-+++\\c-OK   ATH0",
            "''            " + s.modemInit,
            "OK            'ATDT\\T'",
            "TIMEOUT       " + s.connectTimeout,
            "ABORT         'NO ANSWER'",
            "ABORT         'NO CARRIER'",
            "ABORT         'NO DIALTONE'",
            "ABORT         'BUSY'",
            "CONNECT       '\\c'"};
}

Lines dialDaemon(const DeviceSettings& s) {
    if (s.alwaysUp) return {"#Link is always up."};
    const std::string number = s.phoneNumber.empty() ? "9,5551212" : s.phoneNumber;
    return {"device /dev/ttyS0",
            "speed " + s.baudRate,
            "crtscts",
            "modem",
            "lock",
            "connect '/bin/chat -T" + number + " -f /etc/config/chat.dialout'",
            "ip-up /bin/ip-up",
            "defaultroute",
            "mode ppp",
            "dynamic",
            "local 192.168.1.1",
            "remote 192.168.1.2",
            "include /etc/standard.filter"};
}

Lines pppOptions(const DeviceSettings& s) {
    Lines lines;
    if (s.alwaysUp)
        lines = {"/dev/ttyS0",
                 s.baudRate,
                 "crtscts",
                 "modem",
                 "lock",
                 "connect '/bin/chat -T" + s.phoneNumber + " -f /etc/config/chat.dialout'",
                 "ip-up /bin/ip-up",
                 "defaultroute",
                 "persist"};
    lines.push_back("name " + s.ispUser);
    lines.push_back("usepeerdns");
    return lines;
}

Lines dialoutSettings(const DeviceSettings& s) {
    return {"DEVICE=/dev/ttyS0",
            "DEVICE_SPEED=" + s.baudRate,
            "MODEM_INIT=" + s.modemInit,
            "PHONE_NUMBER=" + s.phoneNumber,
            "CONNECT_TIMEOUT=" + s.connectTimeout,
            "USERNAME=" + s.ispUser,
            "PASSWORD=" + s.ispPassword,
            "ISP=" + s.ispName,
            std::string("ALWAYS_UP=") + yesNo(s.alwaysUp),
            "DEFAULT_ROUTE=yes",
            std::string("ENABLED=") + yesNo(!s.primaryIsNetwork),
            std::string("SHELL_LOGIN=") + yesNo(s.shellLogin),
            std::string("SEND_CR=") + yesNo(s.sendCr)};
}

// Blank or malformed text counts as 255.255.255.255, as the C library's inet_addr has it.
uint32_t hostOrder(const std::string& dottedText) {
    return ntohl(parseIpv4(dottedText).value_or(INADDR_NONE));
}

Lines ethernet(const DeviceSettings& s) {
    const uint32_t address = hostOrder(s.ipAddress);
    const uint32_t mask = hostOrder(s.netmask);
    const std::string broadcast = dotted(htonl((address & mask) | ~mask));
    const bool off = !s.primaryIsNetwork && s.disableEthernet;
    return {"DEVICE=eth0",
            std::string("ONBOOT=") + yesNo(!off),
            std::string("BOOTPROTO=") + (s.ipDhcp ? "dhcp" : "none"),
            "IPADDR=" + s.ipAddress,
            "BROADCAST=" + broadcast,
            "NETMASK=" + s.netmask};
}

Lines pppInterface(const DeviceSettings& s, bool depend) {
    Lines lines{"DEVICE=ppp0"};
    if (!depend) lines.push_back("BOOTPROTO=none");
    lines.push_back(std::string("ONBOOT=") + yesNo(!s.primaryIsNetwork));
    return lines;
}

Lines resolver(const DeviceSettings& s) {
    Lines lines;
    if (!s.domain.empty()) lines.push_back("domain " + s.domain);
    for (const std::string* server : {&s.dns1, &s.dns2, &s.dns3})
        if (!server->empty()) lines.push_back("nameserver " + *server);
    return lines;
}

Lines schedule(const DeviceSettings& s) {
    const long long every = Scanner(s.scheduleEvery).integer().value_or(0);
    Lines lines{std::string("sched_ftp_command=") + (s.secondGeneration ? "ftpscript0" : "ftpscript"),
                "sched_ftp_command_wait=20",
                std::string("sched_ftp_upload=") + onOff(s.uploadEnabled),
                "sched_ftp_delay=" + std::to_string(every * s.scheduleUnit),
                "sched_ftp_time_start=" + (s.scheduleWindow ? s.scheduleStart : "00:00"),
                "sched_ftp_time_stop=" + (s.scheduleWindow ? s.scheduleStop : "24:00")};
    const std::array<std::pair<const char*, bool>, 7> days{{{"sun", s.daySun},
                                                            {"mon", s.dayMon},
                                                            {"tue", s.dayTue},
                                                            {"wed", s.dayWed},
                                                            {"thu", s.dayThu},
                                                            {"fri", s.dayFri},
                                                            {"sat", s.daySat}}};
    for (const auto& [day, on] : days)
        lines.push_back(std::string("sched_ftp_day_") + day + "=" + onOff(s.everyDay || on));
    return lines;
}

// A file the last read found is written as it was, with our lines brought up to date: what the
// settings do not hold stays. An FTP script is ours as a whole.
void keepDeviceLines(SettingsFile& file, const DeviceSettings& s, const WriteForms& forms) {
    const std::string name = file.path.substr(file.path.rfind('/') + 1);
    const auto read = s.filesAsRead.find(name);
    if (!file.written || read == s.filesAsRead.end()) return;
    if (file.path == uploadPath(s) && !forms.newFtpFormat) return;
    // Lines a cleared setting leaves out of ours still belong to the settings.
    const std::vector<std::string> owned = name == "resolv.conf"
                                               ? std::vector<std::string>{"domain ", "nameserver "}
                                               : std::vector<std::string>{};
    file.lines = mergedFile(read->second, file.lines, owned);
}

}  // namespace

std::vector<SettingsFile> settingsFiles(const DeviceSettings& s, const WriteForms& forms) {
    const bool depend = forms.configDependSupported;
    // A PPP file the device makes itself keeps its step; some of those steps still say "Writing".
    auto ppp = [depend](std::string path, Lines lines, bool announcedAnyway) {
        if (depend) return SettingsFile{std::move(path), {}, false, announcedAnyway};
        return SettingsFile{std::move(path), std::move(lines)};
    };
    std::vector<SettingsFile> files;
    files.push_back({"/var/tmp/boa.conf", {"Port " + s.httpPort}});
    files.push_back(ppp(
        "/var/tmp/chap-secrets",
        {s.ispUser + " * " + s.ispPassword + " *", "* " + s.ispUser + " " + s.ispPassword + " *"}, false));
    files.push_back(ppp("/var/tmp/chat.dialout", chatScript(s), false));
    files.push_back(ppp("/var/tmp/diald.conf", dialDaemon(s), true));
    files.push_back({"/var/tmp/dialout.conf", dialoutSettings(s)});
    files.push_back({uploadPath(s), forms.newFtpFormat ? uploadKeys(s) : uploadScript(s)});
    files.push_back({"/var/tmp/ifcfg-eth0", ethernet(s)});
    files.push_back({"/var/tmp/ifcfg-ppp0", pppInterface(s, depend)});
    files.push_back(
        {"/var/tmp/network",
         {"NETWORKING=yes", "HOSTNAME=" + s.hostname, "GATEWAYDEV=eth0", "GATEWAY=" + s.gateway}});
    files.push_back(ppp("/var/tmp/options", pppOptions(s), true));
    if (s.primaryIsNetwork) files.push_back({"/var/tmp/resolv.conf", resolver(s)});
    files.push_back({schedulePath(s), schedule(s)});
    for (SettingsFile& file : files)
        keepDeviceLines(file, s, forms);
    return files;
}

std::vector<std::string> moveCommands(const DeviceSettings& s, bool network) {
    const auto move = [](const std::string& path) { return "mv " + path + " /etc/config/"; };
    if (network)
        return {move("/var/tmp/boa.conf"),    move(uploadPath(s)),           move("/var/tmp/ifcfg-ppp0"),
                move("/var/tmp/resolv.conf"), move("/var/tmp/dialout.conf"), move("/var/tmp/ifcfg-eth0"),
                move("/var/tmp/network"),     move(schedulePath(s))};
    std::vector<std::string> moves{move("/var/tmp/boa.conf"),     move(uploadPath(s)),
                                   move(schedulePath(s)),         move("/var/tmp/ifcfg-ppp0"),
                                   move("/var/tmp/dialout.conf"), move("/var/tmp/ifcfg-eth0"),
                                   move("/var/tmp/network")};
    if (s.primaryIsNetwork) moves.push_back(move("/var/tmp/resolv.conf"));
    return moves;
}

}  // namespace lm
