#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lm {

// The dial-out modems the wizard knows, in the order of its modem list.
enum class ModemModel { UsRobotics, ThreeJTech, NovatelSage, IdenPacketData, Ricochet, NexTel, Other };

// The configuration of the device being set up, as the Setup Wizard reads, edits and writes it.
// Numbers typed into text fields stay text; flags are booleans. The firmware numbers and whether the
// session runs over the network are session facts and live in Session.
struct DeviceSettings {
    static constexpr const char* kUnknownMac = "02:4C:55:00:00:00";
    static constexpr const char* kNotSupported = "not supported";

    // Which device, and how it was found.
    std::string targetIp;
    std::string targetId;
    std::string serialPort;  // "COM3" once found, else the detection's message
    int deviceKind = 0;      // 0 ordinary, 1 capture product, 2 remote-viewer SP product
    bool secondGeneration = false;
    std::string macAddress;

    std::string httpPort;

    // Dial-out.
    std::string baudRate = "38400";
    std::string modemInit;
    std::string phoneNumber;
    std::string connectTimeout = "300";
    std::string ispUser;
    std::string ispPassword;
    std::string ispName = "EarthLink";
    bool alwaysUp = false;
    bool sendCr = false;
    bool shellLogin = true;
    bool primaryIsNetwork = true;
    bool disableEthernet = false;
    ModemModel modemModel = ModemModel::ThreeJTech;

    // Upload.
    bool uploadEnabled = false;
    std::string ftpTimeout = "300";
    std::string ftpHost;
    std::string ftpUser;
    std::string ftpPassword;
    bool passiveMode = true;
    bool archive = false;
    std::string ftpPath;
    std::string ftpPath2;
    bool deleteBeforeRename = false;
    bool iisWorkaround = false;
    bool useIdHtmlName = false;

    // Network.
    std::string ipAddress;
    std::string netmask;
    bool ipDhcp = true;
    std::string hostname;
    std::string gateway;
    std::string domain;
    std::string dns1;
    std::string dns2;
    std::string dns3;

    // Upload schedule.
    std::string scheduleEvery = "30";
    int scheduleUnit = 1;  // seconds per unit: 1, 60 or 3600
    bool scheduleWindow = false;
    std::string scheduleStart = "05:00";
    std::string scheduleStop = "18:00";
    bool everyDay = false;
    bool daySun = false;
    bool dayMon = false;
    bool dayTue = false;
    bool dayWed = false;
    bool dayThu = false;
    bool dayFri = false;
    bool daySat = false;
    bool setTimeFromPc = true;

    // The configuration files as the last read found them, by file name ("boa.conf"), without line
    // ends: a write keeps their lines that no setting owns, in their place.
    std::map<std::string, std::vector<std::string>> filesAsRead;
};

// The modem's name as the modem list shows it ("US Robotics"), and back; false for an unknown name.
const char* modemModelName(ModemModel model);
bool modemModelFromName(const std::string& name, ModemModel& model);

// The modem that the dial-out settings were made for; nullopt when they name none.
std::optional<ModemModel> recogniseModem(const DeviceSettings& settings);

// The address page's file name with the device's ID: "ip9A2B.html" from the last two MAC bytes as
// the device writes them; "ip.html" when the MAC is too short to hold them.
std::string idPageName(const std::string& macAddress);

}  // namespace lm
