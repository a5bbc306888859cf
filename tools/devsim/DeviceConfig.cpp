#include "devsim/DeviceConfig.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/platform/HexDigit.h"

namespace lm::sim {

namespace {

constexpr std::array<std::pair<HttpFault, std::string_view>, 9> kFaultNames{{
    {HttpFault::None, "none"},
    {HttpFault::NotFound, "notFound"},
    {HttpFault::WrongType, "wrongType"},
    {HttpFault::Chunked, "chunked"},
    {HttpFault::Redirect, "redirect"},
    {HttpFault::NoLength, "noLength"},
    {HttpFault::Slow, "slow"},
    {HttpFault::Silent, "silent"},
    {HttpFault::HugePicture, "hugePicture"},
}};

struct Model {
    uint8_t code;
    const char* product;  // token 0 of the reply
    const char* subtype;
    unsigned width, height;
};

// The product line and subtype each model announces, chosen so that the scan's reading of them
// (the part after "/" up to "-", then the subtype) gives the model's name. "Pell-Mandor" keeps its
// hyphen only because its product token has no "/".
constexpr std::array<Model, 18> kModels{{
    {0xC0, "Lumetra/Zelvix-1", "", 352, 288},
    {0xC1, "Lumetra/Zelvix-2", "", 352, 288},
    {0xC2, "Lumetra/Draviel6-1", "", 352, 288},
    {0xC3, "Pell-Mandor", "", 352, 288},
    {0xC4, "Lumetra/ZelvixMP-1", "", 640, 480},
    {0xC5, "Lumetra/Quorbent-1", "", 640, 480},
    {0xC6, "Lumetra/Farloomer-1", "", 640, 480},
    {0xC7, "Lumetra/Draviel1-1", "", 352, 288},
    {0xC8, "Lumetra/ZelvixXL-2", "VGA", 640, 480},
    {0xC9, "Lumetra/ZelvixXL-2", "1.3MP", 640, 512},
    {0xCA, "Lumetra/ZelvixXL-2", "3MP", 640, 480},
    {0xCB, "Lumetra/DravielXL-1", "1", 640, 480},
    {0xCC, "Lumetra/DravielXL-1", "12", 640, 480},
    {0xCD, "Lumetra/DravielXL-2", "1", 640, 480},
    {0xCE, "Lumetra/ZelvixXL-3", "5MP", 640, 480},
    {0xCF, "Lumetra/DravielXL-2", "2", 640, 480},
    {0xD0, "Lumetra/ZelvixSC-1", "5MP", 640, 480},
    {0xD1, "Lumetra/ZelvixSC-1", "3MP", 640, 480},
}};

constexpr std::array<const char*, 5> kDemoVersions{"4.2.1", "4.1.7", "3.9.12", "4.3.0", "2.8.4"};

const Model* findModel(uint8_t code) {
    for (const Model& model : kModels)
        if (model.code == code) return &model;
    return nullptr;
}

}  // namespace

std::string_view faultName(HttpFault fault) {
    for (const auto& [f, name] : kFaultNames)
        if (f == fault) return name;
    return "none";
}

std::string faultNameList() {
    std::string list;
    for (const auto& [f, name] : kFaultNames)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

std::optional<HttpFault> faultFromName(std::string_view name) {
    for (const auto& [f, n] : kFaultNames)
        if (n == name) return f;
    return std::nullopt;
}

std::optional<Mac> parseMac(std::string_view text) {
    if (text.size() != 17) return std::nullopt;
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        const int high = hexDigitValue(text[at]);
        const int low = hexDigitValue(text[at + 1]);
        if (high < 0 || low < 0 || (i + 1 < mac.size() && text[at + 2] != ':')) return std::nullopt;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return mac;
}

std::string identifierOf(const DeviceConfig& device) {
    const Mac& m = device.mac;
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X-%02X%02X%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

std::string replyOf(const DeviceConfig& device) {
    if (device.reply) return *device.reply;
    std::string text = device.product + " cam " + device.version + " id=" + identifierOf(device);
    if (!device.subtype.empty()) text += " subtype=" + device.subtype;
    return text;
}

Ipv4 broadcastOf(const DeviceConfig& device) {
    if (device.broadcast != 0) return device.broadcast;
    const uint32_t host = ntohl(device.address);
    const bool loopback = (host >> 24) == 127;
    return htonl(loopback ? 0x7FFFFFFFu : (host | 0xFFu));
}

std::string familyOf(const DeviceConfig& device) {
    std::string_view product = device.product;
    if (const auto slash = product.find('/'); slash != std::string_view::npos) {
        product.remove_prefix(slash + 1);
        return std::string(product.substr(0, product.find('-')));
    }
    std::string word;
    for (char c : product)
        if (c != '-' && c != ' ') word += c;
    return word;
}

std::string hostnameOf(const DeviceConfig& device) {
    if (!device.shell.hostname.empty()) return device.shell.hostname;
    std::string name;
    for (char c : familyOf(device))
        if (std::isalnum(static_cast<unsigned char>(c))) name += static_cast<char>(std::tolower(c));
    return name.empty() ? "camera" : name;
}

std::string versionLineOf(const DeviceConfig& device) {
    if (const auto given = device.shell.files.find("/etc/version"); given != device.shell.files.end())
        return given->second;
    return "Lumetra " + familyOf(device) + " version " + device.version + "\n";
}

bool isVideoServer(const DeviceConfig& device) {
    return familyOf(device).find("Draviel") != std::string::npos;
}

namespace {

std::string lowered(std::string_view text) {
    std::string result;
    for (char c : text)
        result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// The version line read the way the PC reads it: a family word counts when text follows it on
// its line, and the numbers are those after the first "version".
bool secondGeneration(const std::string& versionLine) {
    const std::string line = lowered(versionLine.substr(0, versionLine.find_first_of("\r\n")));
    for (const char* word : {"draviel", "zelvix3", "zelvixxl", "zelvixsc", "wardlumen"})
        if (const auto at = line.find(word); at != std::string::npos && at + std::strlen(word) < line.size())
            return true;
    return false;
}

// Firmware 1.0.x below the given patch; false when the line names no version.
bool firmwareBefore(const std::string& versionLine, int patchLimit) {
    const auto at = lowered(versionLine).find("version");
    int major = 0, minor = 0, patch = 0;
    return at != std::string::npos &&
           std::sscanf(versionLine.c_str() + at + 7, "%d.%d.%d", &major, &minor, &patch) == 3 && major == 1 &&
           minor == 0 && patch < patchLimit;
}

std::string hostPart(const DeviceConfig& device, unsigned last) {
    const uint32_t host = (ntohl(device.address) & 0xFFFFFF00u) | last;
    return dotted(htonl(host));
}

}  // namespace

std::string consolePromptOf(const DeviceConfig& device) {
    return firmwareBefore(versionLineOf(device), 14) ? device.shell.prompt : "# ";
}

std::map<std::string, std::string> factoryFiles(const DeviceConfig& device) {
    const std::string versionLine = versionLineOf(device);
    const bool second = secondGeneration(versionLine);
    const Mac& m = device.mac;
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    std::map<std::string, std::string> files;
    files["/etc/version"] = versionLine;
    files["/etc/mac"] = std::string(mac) + "\n";
    files["/etc/config/boa.conf"] = "Port 80\n";
    files["/etc/config/dialout.conf"] =
        "DEVICE=/dev/ttyS0\nDEVICE_SPEED=38400\nMODEM_INIT=AT&F\nPHONE_NUMBER=\nCONNECT_TIMEOUT=300\n"
        "USERNAME=\nPASSWORD=\nISP=EarthLink\nALWAYS_UP=no\nDEFAULT_ROUTE=yes\nENABLED=no\n"
        "SHELL_LOGIN=yes\nSEND_CR=no\n";
    files[second ? "/etc/config/ftp0.conf" : "/etc/config/ftp.conf"] =
        firmwareBefore(versionLine, 6)  // older firmware keeps its upload settings as an FTP script
            ? "timeout 300\nbinary\npassive\nquit\n"
            : "timeout=300\nhostname=\nuser=\npassword=\npassive=on\narchive=off\ndelete_file=off\n"
              "iis_bug=off\nfilename=\nfilename2=\nfilename3=\n";
    files["/etc/config/ifcfg-eth0"] =
        "DEVICE=eth0\nONBOOT=yes\nBOOTPROTO=none\nIPADDR=" + dotted(device.address) +
        "\nBROADCAST=" + hostPart(device, 255) + "\nNETMASK=255.255.255.0\n";
    files["/etc/config/ifcfg-ppp0"] = "DEVICE=ppp0\nBOOTPROTO=none\nONBOOT=no\n";
    files["/etc/config/network"] = "NETWORKING=yes\nHOSTNAME=" + hostnameOf(device) +
                                   "\nGATEWAYDEV=eth0\nGATEWAY=" + hostPart(device, 1) + "\n";
    files["/etc/config/resolv.conf"] = "domain local\nnameserver " + hostPart(device, 1) + "\n";
    std::string schedule = std::string("sched_ftp_command=") + (second ? "ftpscript0" : "ftpscript") +
                           "\nsched_ftp_command_wait=20\nsched_ftp_upload=off\nsched_ftp_delay=30\n"
                           "sched_ftp_time_start=00:00\nsched_ftp_time_stop=24:00\n";
    for (const char* day : {"sun", "mon", "tue", "wed", "thu", "fri", "sat"})
        schedule += std::string("sched_ftp_day_") + day + "=on\n";
    files[second ? "/etc/config/sched0.conf" : "/etc/config/sched.conf"] = schedule;
    files["/proc/version"] =
        "Linux version 2.4.27-uc0 (build@lumetra) (gcc version 3.4.0) #1 Tue Mar 3 10:12:44 UTC 2009\n";
    const ActivityBehaviour& activity = device.shell.activity;
    char uptime[64];
    std::snprintf(uptime, sizeof uptime, "%.2f %.2f\n", activity.uptime, activity.uptime * 0.995);
    files["/proc/uptime"] = uptime;
    std::string bus = "addr  name      rx     tx     errors\n";
    for (const auto& [address, errors] : activity.busDevices) {
        const char* name = address == "0.1"     ? "ccd"
                           : address == "0.79"  ? "ds1629"
                           : address == "0.124" ? "watchdog"
                                                : "dev";
        char row[128];
        std::snprintf(row, sizeof row, "%-5s %-9s %-6u %-6u %u\n", address.c_str(), name, 51230u, 51200u,
                      errors);
        bus += row;
    }
    files["/proc/mbus"] = bus;
    if (!isVideoServer(device))
        files["/proc/zelvix"] = "id    version gain exposure fps errors frames\n127:0 " +
                                activity.processVersion + " 12 " + std::to_string(activity.exposure) +
                                " 15 " + std::to_string(activity.errors) + " " +
                                std::to_string(activity.frames) + "\n";
    const std::string log = "Mar  3 10:12:45 " + hostnameOf(device) + " syslogd started: BusyBox v0.60.5\n" +
                            "Mar  3 10:12:46 " + hostnameOf(device) +
                            " kernel: eth0: link up, 100Mbps, full-duplex\n" + "Mar  3 10:12:50 " +
                            hostnameOf(device) + " boa: server version Boa/0.94.13 started\n";
    files["/var/log/messages"] = log;
    files["/var/log/syslog"] = log;
    for (const auto& [path, text] : device.shell.files)
        files[path] = text;
    return files;
}

DeviceConfig modelDevice(uint8_t modelCode) {
    DeviceConfig device;
    device.mac = {0x02, 0x4C, 0x55, modelCode, 0, 0};
    device.product = "Lumetra/Device-1";
    if (const Model* model = findModel(modelCode)) {
        device.product = model->product;
        device.subtype = model->subtype;
    }
    return device;
}

std::vector<DeviceConfig> demoDevices(std::size_t count, Ipv4 firstAddress) {
    std::vector<DeviceConfig> devices;
    devices.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Model& model = kModels[i % kModels.size()];
        DeviceConfig device = modelDevice(model.code);
        device.http.width = model.width;
        device.http.height = model.height;
        // The last two MAC bytes count devices, so MACs stay distinct across models.
        device.mac[4] = static_cast<uint8_t>(i >> 8);
        device.mac[5] = static_cast<uint8_t>(i);
        device.address = htonl(ntohl(firstAddress) + static_cast<uint32_t>(i));
        device.version = kDemoVersions[(i / 3) % kDemoVersions.size()];
        // Every fourth device from the second fails the report for a short, hot run with errors;
        // every fourth from the fourth for its exposure, its watchdog chip and an unsteady thermometer.
        ActivityBehaviour& activity = device.shell.activity;
        if (i % 4 == 1) {
            activity.uptime = 5400.25;
            activity.temperature = 52.5;
            activity.errors = 4;
            activity.frames = 20000;
        } else if (i % 4 == 3) {
            activity.exposure = 2000;
            activity.watchdogReply = "04 01 41";
            activity.unsteadyTemperature = true;
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace lm::sim
