#include "core/wizard/PageRules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string_view>

#include "core/discovery/DeviceRecord.h"
#include "core/link/ShellInput.h"
#include "core/platform/Ipv4.h"
#include "core/platform/Scanner.h"
#include "core/platform/TextMatch.h"
#include "core/wizard/FileValueRules.h"
#include "core/wizard/SettingsFields.h"
#include "core/wizard/WizardPage.h"

namespace lm::wizard {

namespace {

constexpr const char* kNotSupported = DeviceSettings::kNotSupported;
constexpr const char* kManualSetup = "Manual Setup";

// ---- numbers, read as C's scanf reads "%d" and "%x"; no number counts as 0

long long scanDecimal(std::string_view text) {
    return Scanner(text).integer(10).value_or(0);
}

long long scanHex(std::string_view text) {
    return Scanner(text).integer(16).value_or(0);
}

// "hh:mm" as minutes of the day: exactly five characters, ":" third, read as "%d:%d".
std::optional<long long> minuteOfDay(std::string_view time) {
    if (time.size() != 5 || time[2] != ':') return std::nullopt;
    Scanner scan(time);
    const auto hours = scan.integer();
    if (!hours || !scan.literal(':')) return std::nullopt;
    const auto minutes = scan.integer();
    if (!minutes || *hours < 0 || *minutes < 0 || *minutes > 59) return std::nullopt;
    return *hours * 60 + *minutes;
}

bool validWindow(std::string_view start, std::string_view stop) {
    const auto from = minuteOfDay(start);
    const auto to = minuteOfDay(stop);
    return from && to && *from <= *to && *to <= 24 * 60;
}

// A time-out below a minute is raised to one.
void raiseToMinute(std::string& seconds) {
    if (scanDecimal(seconds) < 60) seconds = "60";
}

bool emptyAddress(std::string_view address) {
    return address.empty() || address == "0.0.0.0";
}

// ---- the view

const ControlState& control(const PageView& view, Field id) {
    static const ControlState kAbsent;
    const auto found = view.find(id);
    return found == view.end() ? kAbsent : found->second;
}

const std::string& text(const PageView& view, Field id) {
    return control(view, id).text;
}

bool checked(const PageView& view, Field id) {
    return control(view, id).checked;
}

void showText(PageView& view, Field id, std::string text, bool enabled = true) {
    ControlState& state = view[id];
    state.text = std::move(text);
    state.enabled = enabled;
    state.visible = true;
}

void showCheck(PageView& view, Field id, bool on, bool enabled = true) {
    ControlState& state = view[id];
    state.checked = on;
    state.enabled = enabled;
    state.visible = true;
}

void hide(PageView& view, Field id) {
    ControlState& state = view[id];
    state.enabled = false;
    state.visible = false;
}

// Checks exactly one radio of a group.
void chooseRadio(PageView& view, std::initializer_list<Field> group, Field chosen) {
    for (Field id : group)
        view[id].checked = id == chosen;
}

// ---- answers

PageMessage warning(std::string text, std::string title, Field focus = Field::None) {
    return {std::move(text), std::move(title), PageMessage::Icon::Warning, focus};
}

PageMessage information(std::string text, std::string title) {
    return {std::move(text), std::move(title), PageMessage::Icon::Information, Field::None};
}

PageAnswer go(int next, std::vector<PageMessage> messages = {}) {
    return {next, std::move(messages)};
}

PageAnswer stay(std::vector<PageMessage> messages, PageMessage why) {
    messages.push_back(std::move(why));
    return {kStay, std::move(messages)};
}

// ---- what the pages share

bool packetModem(ModemModel model) {
    return model == ModemModel::IdenPacketData || model == ModemModel::NovatelSage;
}

// Dialing out on a modem that dials: such a set-up only ever sends pictures, so it must upload.
bool dialUp(const DeviceSettings& s) {
    return !s.primaryIsNetwork && !packetModem(s.modemModel);
}

bool deviceKindSkipsChoice(const DeviceSettings& s) {
    return s.deviceKind == 1 || s.deviceKind == 2;
}

// The port is read as hexadecimal, so "80", "080" and "81" pass and "0x50" does not.
void warnUnusualHttpPort(const std::string& port, std::vector<PageMessage>& messages) {
    const long long value = scanHex(port);
    if (value != 0x80 && value != 0x81)
        messages.push_back(
            warning("The HTTP Port is almost always 80 or 81, but you have entered\na different "
                    "value. Use the Back button to fix this if it is not correct.",
                    "Unusual entry value"));
}

// ---- typed values that must never reach the device as they are

struct LabelledField {
    Field control;
    const char* name;
};

// The text fields and combos of each edit page, by the names their labels give them.
const std::vector<LabelledField>& textFields(int page) {
    static const std::map<int, std::vector<LabelledField>> kFields = {
        {kModem,
         {{Field::PhoneField, "Phone #"},
          {Field::InitField, "Init String"},
          {Field::ModemTimeoutField, "Timeout"},
          {Field::BaudCombo, "Baud Rate"}}},
        {kStaticAddress,
         {{Field::IpField, "IP Address"},
          {Field::MaskField, "Subnet Mask"},
          {Field::GatewayField, "Gateway"}}},
        {kDns,
         {{Field::Dns1Field, "DNS Server 1"},
          {Field::Dns2Field, "DNS Server 2"},
          {Field::Dns3Field, "DNS Server 3"},
          {Field::HttpPortField, "HTTP Port"}}},
        {kWebserver, {{Field::HttpPortField, "HTTP Port"}}},
        {kFtpSetup,
         {{Field::FtpHostField, "FTP Hostname"},
          {Field::FtpUserField, "Username"},
          {Field::FtpPasswordField, "Password"},
          {Field::FtpVerifyField, "Verify Password"},
          {Field::FtpPathField, "Path/Filename"},
          {Field::FtpPath2Field, "Secondary Path"}}},
        {kSchedule,
         {{Field::EveryField, "Every"}, {Field::StartField, "start time"}, {Field::StopField, "end time"}}},
        {kIspSetup,
         {{Field::ProviderCombo, "Service Provider"},
          {Field::IspUserField, "Username"},
          {Field::IspPasswordField, "Password"},
          {Field::IspVerifyField, "Verify Password"}}},
        {kFtpOptions, {{Field::FtpTimeoutField, "Timeout"}}},
    };
    static const std::vector<LabelledField> kNone;
    const auto found = kFields.find(page);
    return found == kFields.end() ? kNone : found->second;
}

// A refusal for required fields left empty: the page's own words, then the empty fields by their
// labels' names, with the focus on the first of them.
PageAnswer refuseEmpty(int page, const PageView& view, std::initializer_list<Field> required, const char* why,
                       const char* title) {
    std::string names;
    Field first = Field::None;
    for (const LabelledField& field : textFields(page)) {
        if (std::find(required.begin(), required.end(), field.control) == required.end() ||
            !text(view, field.control).empty())
            continue;
        if (first == Field::None) first = field.control;
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    }
    if (names.empty()) return stay({}, warning(why, title));
    return stay({}, warning(std::string(why) + "\n\nLeft empty: " + names + ".", title, first));
}

// The settings field a control is typed into (its verify field included).
std::string_view settingsFieldOf(Field control) {
    for (const SettingsField& field : settingsFields())
        if (field.text && (field.control == control || field.verifyControl == control)) return field.name;
    return {};
}

// A value that would change the meaning of a device file it is written into (a control character
// ends the line; a quote or ";" lets the device's shell run the rest) is refused before it is stored.
std::optional<PageAnswer> refuseUnwritableValues(int page, const PageView& view) {
    for (const LabelledField& field : textFields(page)) {
        const std::string problem =
            fileValueProblem(settingsFieldOf(field.control), text(view, field.control));
        if (problem.empty()) continue;
        return stay(
            {}, warning(std::string("The \"") + field.name + "\" field " + problem + ".\nPlease remove it.",
                        "Invalid entry value", field.control));
    }
    return std::nullopt;
}

// Address fields take dotted addresses only; anything else would leave the device unreachable
// after its reboot. Blank counts as empty.
std::optional<PageAnswer> refuseBadAddresses(const PageView& view,
                                             std::initializer_list<LabelledField> fields) {
    for (const LabelledField& field : fields) {
        const std::string& value = text(view, field.control);
        if (emptyAddress(value) || parseIpv4(value)) continue;
        return stay({}, warning(std::string("The ") + field.name +
                                    " is not an address.\nPlease enter four numbers from 0 to 255 separated "
                                    "by periods.",
                                "Invalid entry value", field.control));
    }
    return std::nullopt;
}

// ---- 109 Welcome

void initWelcome(WizardModel& m, PageView& v) {
    showText(v, Field::ExteriorTitle, "Welcome to the Setup Wizard");
    chooseRadio(v, {Field::SerialRadio, Field::NetworkRadio},
                m.connectionIsNetwork ? Field::NetworkRadio : Field::SerialRadio);
}

PageAnswer nextWelcome(WizardModel& m, const PageView& v) {
    m.connectionIsNetwork = checked(v, Field::NetworkRadio);
    return go(m.connectionIsNetwork ? kDeviceList : kSerialPort);
}

// ---- 110 Choose serial port, 122 Device found / not found

void initSerialPort(WizardModel&, PageView& v) {
    showText(v, Field::PortCombo, "AUTO");
    showText(v, Field::DetectStatus, "Checking...");
    hide(v, Field::DetectStatus);
    hide(v, Field::DetectProgress);
}

constexpr const char* kNotFoundText = "No device was found on the serial port.";
constexpr const char* kNotFoundHint = "Check the cable and the port, then use Back to try again.";

void initSerialResult(WizardModel&, PageView& v) {
    showText(v, Field::FoundText, kNotFoundText);
    showText(v, Field::FoundHint, kNotFoundHint);
    showText(v, Field::Results, "Results");
}

// ---- 142 Read current settings

void initReadSettings(WizardModel&, PageView& v) {
    showText(v, Field::ReadStatus, "Reading current settings, please wait...");
    showText(v, Field::CannotProceed, kCannotProceedText);
    hide(v, Field::RomWarning);
    hide(v, Field::ReadStatus);
    hide(v, Field::ReadProgress);
    hide(v, Field::CannotProceed);
}

PageAnswer nextReadSettings(WizardModel& m, const PageView&) {
    if (!deviceKindSkipsChoice(m.settings)) return go(kNetworkSetup);
    m.settings.primaryIsNetwork = true;
    return go(kAddressAssignment);
}

// ---- 115 Network setup, 123 IP address assignment

void initNetworkSetup(WizardModel& m, PageView& v) {
    chooseRadio(v, {Field::PrimaryNetworkRadio, Field::PrimaryDialOutRadio},
                m.settings.primaryIsNetwork ? Field::PrimaryNetworkRadio : Field::PrimaryDialOutRadio);
}

PageAnswer nextNetworkSetup(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    s.primaryIsNetwork = checked(v, Field::PrimaryNetworkRadio);
    if (s.primaryIsNetwork) return go(kAddressAssignment);
    std::vector<PageMessage> messages;
    if (s.ipDhcp)
        messages.push_back(information(
            "In order to do a dial-out connection, the device's\nethernet connection will have to be turned "
            "off.\nThe Wizard will do this automatically.  You can\nre-enable it by using the Wizard through "
            "a "
            "serial\nconnection when you wish to return to ethernet mode.\nYou can also disable this feature "
            "on "
            "the next screen.",
            "Incompatible ethernet settings"));
    return go(kModem, std::move(messages));
}

void initAddressAssignment(WizardModel& m, PageView& v) {
    chooseRadio(v, {Field::StaticRadio, Field::DhcpRadio},
                m.settings.ipDhcp ? Field::DhcpRadio : Field::StaticRadio);
}

PageAnswer nextAddressAssignment(WizardModel& m, const PageView& v) {
    m.settings.ipDhcp = checked(v, Field::DhcpRadio);
    return go(m.settings.ipDhcp ? kTransmitImages : kStaticAddress);
}

// ---- 125 Static address

void initStaticAddress(WizardModel& m, PageView& v) {
    showText(v, Field::IpField, m.settings.ipAddress);
    showText(v, Field::MaskField, m.settings.netmask);
    showText(v, Field::GatewayField, m.settings.gateway);
}

// The classful mask of an address; an unreadable address counts as 255.255.255.255.
const char* classMask(std::string_view address) {
    const auto parsed = parseIpv4(address);
    const unsigned first = parsed ? ntohl(*parsed) >> 24 : 255;
    if (first < 128) return "255.0.0.0";
    if (first < 192) return "255.255.0.0";
    if (first < 224) return "255.255.255.0";
    return "240.0.0.0";
}

void autogenMask(WizardModel& m, PageView& v) {
    const std::string& address = text(v, Field::IpField);
    if (!hasControlCharacter(address)) m.settings.ipAddress = address;
    m.settings.netmask = classMask(address);
    showText(v, Field::MaskField, m.settings.netmask);
}

PageAnswer nextStaticAddress(WizardModel& m, const PageView& v) {
    if (auto refused = refuseBadAddresses(v, {{Field::IpField, "IP Address"},
                                              {Field::MaskField, "Subnet Mask"},
                                              {Field::GatewayField, "Gateway"}}))
        return *refused;
    DeviceSettings& s = m.settings;
    s.ipAddress = text(v, Field::IpField);
    s.netmask = text(v, Field::MaskField);
    s.gateway = text(v, Field::GatewayField);
    if (emptyAddress(s.ipAddress))
        return stay({},
                    warning("If you are going to have a static IP address\nyou must specify the IP address "
                            "here.",
                            "Blank entry value", Field::IpField));
    if (emptyAddress(s.netmask))
        return stay({}, warning("Please specify a value for the Subnet Mask, or\nclick the Autogen button to "
                                "generate it automatically.",
                                "Blank entry value", Field::MaskField));
    std::vector<PageMessage> messages;
    if (emptyAddress(s.gateway))
        messages.push_back(
            warning("If you don't specify a value for Gateway\nyou will not be able to FTP from "
                    "the\ncamera. If this is wrong, use <Back to fix it.",
                    "Unusual entry value", Field::IpField));
    for (std::string* field : {&s.ipAddress, &s.netmask, &s.gateway})
        if (emptyAddress(*field)) field->clear();
    return go(kDns, std::move(messages));
}

// ---- 126 DNS, 159 Webserver options

void initDns(WizardModel& m, PageView& v) {
    showText(v, Field::Dns1Field, m.settings.dns1);
    showText(v, Field::Dns2Field, m.settings.dns2);
    showText(v, Field::Dns3Field, m.settings.dns3);
    showText(v, Field::HttpPortField, m.settings.httpPort);
}

PageAnswer nextDns(WizardModel& m, const PageView& v) {
    if (auto refused = refuseBadAddresses(v, {{Field::Dns1Field, "DNS Server 1"},
                                              {Field::Dns2Field, "DNS Server 2"},
                                              {Field::Dns3Field, "DNS Server 3"}}))
        return *refused;
    DeviceSettings& s = m.settings;
    s.dns1 = text(v, Field::Dns1Field);
    s.dns2 = text(v, Field::Dns2Field);
    s.dns3 = text(v, Field::Dns3Field);
    // A blank address control reads "0.0.0.0": no name server, never one at 0.0.0.0.
    for (std::string* server : {&s.dns1, &s.dns2, &s.dns3})
        if (emptyAddress(*server)) server->clear();
    s.httpPort = text(v, Field::HttpPortField);
    std::vector<PageMessage> messages;
    warnUnusualHttpPort(s.httpPort, messages);
    return go(kTransmitImages, std::move(messages));
}

void initWebserver(WizardModel& m, PageView& v) {
    showText(v, Field::HttpPortField, m.settings.httpPort);
}

PageAnswer nextWebserver(WizardModel& m, const PageView& v) {
    m.settings.httpPort = text(v, Field::HttpPortField);
    std::vector<PageMessage> messages;
    warnUnusualHttpPort(m.settings.httpPort, messages);
    return go(packetModem(m.settings.modemModel) ? kTransmitImages : kIspSetup, std::move(messages));
}

// ---- 124 Modem

// What the modem page shows for a model: fixed texts, or the model's own value where a row says
// nothing.
struct ModemRow {
    const char* init;
    bool initEnabled;
    const char* phone;
    bool phoneEnabled;
    const char* baud;
    bool baudEnabled;
};

// In the order of ModemModel.
constexpr std::array<ModemRow, 7> kModemRows{{
    {"ATE1Q0V1&B1", false, nullptr, true, nullptr, true},  // US Robotics
    {"AT&F", false, nullptr, true, nullptr, true},         // 3JTech
    {"AT", true, "", false, "19200", false},               // Novatel Sage
    {"AT", true, "S=2", false, "19200", true},             // iDEN Packet Data
    {"ATZ", false, "3333", false, "115200", false},        // Ricochet
    {"ATZ2", false, "", false, "19200", false},            // NexTel
    {nullptr, true, nullptr, true, nullptr, true},         // Other
}};

void showModemFields(const DeviceSettings& s, PageView& v) {
    const ModemRow& row = kModemRows[static_cast<std::size_t>(s.modemModel)];
    showText(v, Field::ModemCombo, modemModelName(s.modemModel));
    showText(v, Field::InitField, row.init ? row.init : s.modemInit, row.initEnabled);
    showText(v, Field::PhoneField, row.phone ? row.phone : s.phoneNumber, row.phoneEnabled);
    showText(v, Field::BaudCombo, row.baud ? row.baud : s.baudRate, row.baudEnabled);
}

void initModem(WizardModel& m, PageView& v) {
    DeviceSettings& s = m.settings;
    if (s.phoneNumber.find("9,555-1212") != std::string::npos) s.phoneNumber.clear();  // the sample number
    if (const auto model = recogniseModem(s)) s.modemModel = *model;
    showModemFields(s, v);
    showText(v, Field::ModemTimeoutField, s.connectTimeout);
    showCheck(v, Field::DisableEthernetCheck, s.disableEthernet);
}

void chooseModem(WizardModel& m, PageView& v) {
    ModemModel model{};
    if (!modemModelFromName(text(v, Field::ModemCombo), model)) return;
    DeviceSettings& s = m.settings;
    s.modemModel = model;
    const std::string& typed = text(v, Field::PhoneField);
    // The fixed numbers of the packet modems are not a phone number worth keeping.
    if (s.phoneNumber.empty() && typed != "S=2" && typed != "3333" && !hasControlCharacter(typed))
        s.phoneNumber = typed;
    if (model == ModemModel::UsRobotics || model == ModemModel::ThreeJTech) s.baudRate = "38400";
    showModemFields(s, v);
}

PageAnswer nextModem(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    modemModelFromName(text(v, Field::ModemCombo), s.modemModel);
    s.phoneNumber = text(v, Field::PhoneField);
    s.modemInit = text(v, Field::InitField);
    s.baudRate = text(v, Field::BaudCombo);
    s.connectTimeout = text(v, Field::ModemTimeoutField);
    s.disableEthernet = checked(v, Field::DisableEthernetCheck);
    const bool dialsNumber = s.modemModel != ModemModel::NovatelSage && s.modemModel != ModemModel::NexTel;
    if ((dialsNumber && (s.phoneNumber.empty() || s.baudRate.empty())) || s.connectTimeout.empty())
        return refuseEmpty(
            kModem, v,
            dialsNumber
                ? std::initializer_list<Field>{Field::PhoneField, Field::ModemTimeoutField, Field::BaudCombo}
                : std::initializer_list<Field>{Field::ModemTimeoutField},
            "One of your entries is incomplete.", "Incorrect entry value");
    raiseToMinute(s.connectTimeout);
    std::vector<PageMessage> messages;
    if (s.phoneNumber.find_first_of(" #!$*?\"") != std::string::npos)
        messages.push_back(
            information("Your phone number contains restricted characters\nwhich may not work "
                        "correctly in the dial string.\nThe characters are space and "
                        "#!$*?\\.\nThis is a warning only.",
                        "Phone number error"));
    return go(kWebserver, std::move(messages));
}

// ---- 135 ISP setup, 144 Login options, 145 Dial-out options

void initIspSetup(WizardModel& m, PageView& v) {
    showText(v, Field::ProviderCombo, m.settings.ispName);
    showText(v, Field::IspUserField, m.settings.ispUser);
    showText(v, Field::IspPasswordField, m.settings.ispPassword);
    showText(v, Field::IspVerifyField, m.settings.ispPassword);
}

PageAnswer nextIspSetup(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    s.ispPassword = text(v, Field::IspPasswordField);
    s.ispUser = text(v, Field::IspUserField);
    s.ispName = text(v, Field::ProviderCombo);
    std::vector<PageMessage> messages;
    if (s.ispPassword.empty() || s.ispUser.empty())
        messages.push_back(
            warning("These values are usually required.\nIf you have made a mistake use the Back "
                    "button to fix it.",
                    "Unusual entry values"));
    if (s.ispPassword != text(v, Field::IspVerifyField))
        return stay(std::move(messages), warning("Your password does not match your verify password.\nPlease "
                                                 "re-enter both passwords.",
                                                 "Incorrect entry values"));
    if (s.ispName == kManualSetup) return go(kLoginOptions, std::move(messages));
    // The listed providers log in by PPP themselves.
    if (s.ispName == "EarthLink" || s.ispName == "AT&T" || s.ispName == "XO" || s.ispName == "MindSpring") {
        s.shellLogin = false;
        s.sendCr = false;
    }
    return go(kTransmitImages, std::move(messages));
}

void initLoginOptions(WizardModel& m, PageView& v) {
    showCheck(v, Field::SendCrCheck, m.settings.sendCr);
    showCheck(v, Field::ShellLoginCheck, m.settings.shellLogin);
}

PageAnswer nextLoginOptions(WizardModel& m, const PageView& v) {
    m.settings.sendCr = checked(v, Field::SendCrCheck);
    m.settings.shellLogin = checked(v, Field::ShellLoginCheck);
    return go(kTransmitImages);
}

void initDialOutOptions(WizardModel& m, PageView& v) {
    showCheck(v, Field::AlwaysUpCheck, m.settings.alwaysUp);
}

PageAnswer nextDialOutOptions(WizardModel& m, const PageView& v) {
    m.settings.alwaysUp = checked(v, Field::AlwaysUpCheck);
    return go(kFtpOptions);
}

// ---- 127 Transmit images

void showUpload(const DeviceSettings& s, PageView& v) {
    chooseRadio(v, {Field::UploadRadio, Field::ServeOnlyRadio},
                s.uploadEnabled ? Field::UploadRadio : Field::ServeOnlyRadio);
}

void initTransmitImages(WizardModel& m, PageView& v) {
    DeviceSettings& s = m.settings;
    showText(v, Field::TransmitQuestion,
             s.secondGeneration ? "How would you like the video server to transmit images?"
                                : "How would you like the camera to transmit images?");
    if (dialUp(s)) s.uploadEnabled = true;
    showUpload(s, v);
}

void chooseUpload(Field radio, WizardModel& m, PageView& v) {
    m.settings.uploadEnabled = radio == Field::UploadRadio || dialUp(m.settings);
    showUpload(m.settings, v);
}

PageAnswer nextTransmitImages(WizardModel& m, const PageView& v) {
    m.settings.uploadEnabled = checked(v, Field::UploadRadio) || dialUp(m.settings);
    return go(m.settings.uploadEnabled ? kFtpSetup : kSummary);
}

// ---- 129 FTP setup

void initFtpSetup(WizardModel& m, PageView& v) {
    const DeviceSettings& s = m.settings;
    showText(v, Field::FtpHostField, s.ftpHost);
    showText(v, Field::FtpUserField, s.ftpUser);
    showText(v, Field::FtpPasswordField, s.ftpPassword);
    showText(v, Field::FtpVerifyField, s.ftpPassword);
    showText(v, Field::FtpPathField, s.ftpPath);
    showText(v, Field::FtpPath2Field, s.ftpPath2, s.ftpPath2 != kNotSupported);
    const FirmwareVersion& f = m.firmware;
    const bool archiveKnown = f.minor > 0 || (f.major == 1 && f.minor == 0 && f.patch > 5);
    showCheck(v, Field::ArchiveCheck, s.archive);
    if (!archiveKnown) hide(v, Field::ArchiveCheck);
}

PageAnswer nextFtpSetup(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    s.ftpHost = text(v, Field::FtpHostField);
    s.ftpUser = text(v, Field::FtpUserField);
    s.ftpPassword = text(v, Field::FtpPasswordField);
    s.ftpPath = asciiLower(text(v, Field::FtpPathField));
    s.ftpPath2 = text(v, Field::FtpPath2Field);
    s.archive = checked(v, Field::ArchiveCheck);
    const auto refuse = [](const char* why) { return stay({}, warning(why, "Invalid entry values")); };
    if (s.ftpHost.empty() || s.ftpUser.empty() || s.ftpPassword.empty() || s.ftpPath.empty())
        return refuseEmpty(
            kFtpSetup, v,
            {Field::FtpHostField, Field::FtpUserField, Field::FtpPasswordField, Field::FtpPathField},
            "You must fill in all of these values.", "Invalid entry values");
    if (s.ftpPath.find(".jpg") == std::string::npos) return refuse("You must specify a .jpg filename.");
    if (s.ftpHost.find_first_of("/\\") != std::string::npos)
        return refuse("Don't specify the path in the FTP Hostname, use the Path/Filename.");
    if (s.ftpPassword != text(v, Field::FtpVerifyField))
        return refuse("Your password does not match the verify password.\nPlease re-enter both passwords.");
    return go(kSchedule);
}

// ---- 131 Schedule

constexpr std::initializer_list<Field> kUnitRadios = {Field::SecondsRadio, Field::MinutesRadio,
                                                      Field::HoursRadio};
constexpr std::initializer_list<Field> kWindowRadios = {Field::AllDayRadio, Field::FromRadio};

void showWindow(bool window, PageView& v) {
    chooseRadio(v, kWindowRadios, window ? Field::FromRadio : Field::AllDayRadio);
    v[Field::StartField].enabled = window;
    v[Field::StopField].enabled = window;
}

void initSchedule(WizardModel& m, PageView& v) {
    const DeviceSettings& s = m.settings;
    showText(v, Field::EveryField, s.scheduleEvery);
    showText(v, Field::StartField, s.scheduleStart);
    showText(v, Field::StopField, s.scheduleStop);
    showCheck(v, Field::SetTimeCheck, s.setTimeFromPc);
    showWindow(s.scheduleWindow, v);
    chooseRadio(v, kUnitRadios,
                s.scheduleUnit == 60     ? Field::MinutesRadio
                : s.scheduleUnit == 3600 ? Field::HoursRadio
                                         : Field::SecondsRadio);
}

int unitOf(Field radio) {
    return radio == Field::MinutesRadio ? 60 : radio == Field::HoursRadio ? 3600 : 1;
}

void chooseScheduleRadio(Field radio, WizardModel& m, PageView& v) {
    DeviceSettings& s = m.settings;
    if (radio == Field::AllDayRadio || radio == Field::FromRadio) {
        s.scheduleWindow = radio == Field::FromRadio;
        showWindow(s.scheduleWindow, v);
    } else {
        s.scheduleUnit = unitOf(radio);
        chooseRadio(v, kUnitRadios, radio);
    }
}

PageAnswer nextSchedule(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    s.scheduleEvery = text(v, Field::EveryField);
    s.scheduleStart = text(v, Field::StartField);
    s.scheduleStop = text(v, Field::StopField);
    s.setTimeFromPc = checked(v, Field::SetTimeCheck);
    s.scheduleWindow = checked(v, Field::FromRadio);
    s.scheduleUnit = unitOf(checked(v, Field::MinutesRadio) ? Field::MinutesRadio
                            : checked(v, Field::HoursRadio) ? Field::HoursRadio
                                                            : Field::SecondsRadio);
    const long long every = scanDecimal(s.scheduleEvery);
    if (every < 1)
        return stay(
            {}, warning("The `Every' entry must be at least 1.", "Incorrect entry value", Field::EveryField));
    std::vector<PageMessage> messages;
    if (every * s.scheduleUnit < 10 && !s.primaryIsNetwork)
        messages.push_back(
            warning("Note: You have selected to send pictures\nfaster than it is likely you can on "
                    "a modem.\nWe recommend 10 seconds or more.",
                    "Unusual entry value"));
    // Checked whatever the window radio says: the times are written either way.
    if (!validWindow(s.scheduleStart, s.scheduleStop))
        return stay(
            std::move(messages),
            warning("Your upload start and end time must be specified in \nfull military time format "
                    "(examples: 01:00, 12:48, 23:50)\nand your start time must be before your end time.",
                    "Incorrect entry value", Field::StartField));
    return go(kDays, std::move(messages));
}

// ---- 132 Days

struct Day {
    Field control;
    bool DeviceSettings::*flag;
};
constexpr std::array<Day, 7> kWeekDays{{{Field::SunCheck, &DeviceSettings::daySun},
                                        {Field::MonCheck, &DeviceSettings::dayMon},
                                        {Field::TueCheck, &DeviceSettings::dayTue},
                                        {Field::WedCheck, &DeviceSettings::dayWed},
                                        {Field::ThuCheck, &DeviceSettings::dayThu},
                                        {Field::FriCheck, &DeviceSettings::dayFri},
                                        {Field::SatCheck, &DeviceSettings::daySat}}};

void showEveryDay(bool everyDay, PageView& v) {
    chooseRadio(v, {Field::EverydayRadio, Field::OnlyOnRadio},
                everyDay ? Field::EverydayRadio : Field::OnlyOnRadio);
    for (const Day& day : kWeekDays)
        v[day.control].enabled = !everyDay;
}

void initDays(WizardModel& m, PageView& v) {
    for (const Day& day : kWeekDays)
        showCheck(v, day.control, m.settings.*day.flag);
    showEveryDay(m.settings.everyDay, v);
}

PageAnswer nextDays(WizardModel& m, const PageView& v) {
    m.settings.everyDay = checked(v, Field::EverydayRadio);
    for (const Day& day : kWeekDays)
        m.settings.*day.flag = checked(v, day.control);
    return go(kDialOutOptions);
}

// ---- 138 FTP options

// The last two bytes of the MAC address as the device writes it ("02:4C:55:11:9A:2B" gives "9A2B").
std::string macTail(const std::string& mac) {
    std::string id;
    for (std::size_t i : {12, 13, 15, 16})
        if (i < mac.size()) id += mac[i];
    return id;
}

void initFtpOptions(WizardModel& m, PageView& v) {
    const DeviceSettings& s = m.settings;
    showCheck(v, Field::PassiveCheck, s.passiveMode);
    showText(v, Field::FtpTimeoutField, s.ftpTimeout);
    showCheck(v, Field::DeleteBeforeRenameCheck, s.deleteBeforeRename);
    showCheck(v, Field::IisCheck, s.iisWorkaround, s.deleteBeforeRename);
    showText(v, Field::IdHtmlCheck, "Use ip" + macTail(s.macAddress) + ".html instead of ip.html");
    v[Field::IdHtmlCheck].checked = s.useIdHtmlName;
}

PageAnswer nextFtpOptions(WizardModel& m, const PageView& v) {
    DeviceSettings& s = m.settings;
    s.passiveMode = checked(v, Field::PassiveCheck);
    s.deleteBeforeRename = checked(v, Field::DeleteBeforeRenameCheck);
    s.iisWorkaround = checked(v, Field::IisCheck);
    s.useIdHtmlName = checked(v, Field::IdHtmlCheck);
    s.ftpTimeout = text(v, Field::FtpTimeoutField);
    raiseToMinute(s.ftpTimeout);
    return go(kSummary);
}

// ---- 137 Summary, 134 Complete

void initSummary(WizardModel&, PageView& v) {
    showText(v, Field::WriteStatus, "Device configuration update in progress...");
    showText(v, Field::CannotProceed, kCannotProceedText);
    hide(v, Field::WriteStatus);
    hide(v, Field::WriteProgress);
    hide(v, Field::CannotProceed);
}

void initComplete(WizardModel&, PageView& v) {
    showText(v, Field::ExteriorTitle, "Setup Wizard Complete");
}

// ---- the pages

struct PageRule {
    int page;
    void (*init)(WizardModel&, PageView&);
    PageAnswer (*next)(WizardModel&, const PageView&);
    int (*back)(const WizardModel&);
};

using M = const WizardModel&;

const PageRule kRules[] = {
    {kWelcome, initWelcome, nextWelcome, [](M) { return kStay; }},
    {kSerialPort, initSerialPort, [](WizardModel&, const PageView&) { return go(kSerialResult); },
     [](M) { return int{kWelcome}; }},
    {kSerialResult, initSerialResult, [](WizardModel&, const PageView&) { return go(kReadSettings); },
     [](M) { return int{kSerialPort}; }},
    {kDeviceList, [](WizardModel&, PageView&) {},
     [](WizardModel&, const PageView&) { return go(kReadSettings); }, [](M) { return int{kWelcome}; }},
    {kReadSettings, initReadSettings, nextReadSettings,
     [](M m) { return int{m.connectionIsNetwork ? kDeviceList : kSerialResult}; }},
    {kNetworkSetup, initNetworkSetup, nextNetworkSetup, [](M) { return int{kReadSettings}; }},
    {kAddressAssignment, initAddressAssignment, nextAddressAssignment,
     [](M m) { return int{deviceKindSkipsChoice(m.settings) ? kReadSettings : kNetworkSetup}; }},
    {kStaticAddress, initStaticAddress, nextStaticAddress, [](M) { return int{kAddressAssignment}; }},
    {kDns, initDns, nextDns, [](M) { return int{kStaticAddress}; }},
    {kModem, initModem, nextModem, [](M) { return int{kNetworkSetup}; }},
    {kWebserver, initWebserver, nextWebserver, [](M) { return int{kModem}; }},
    {kIspSetup, initIspSetup, nextIspSetup, [](M) { return int{kWebserver}; }},
    {kLoginOptions, initLoginOptions, nextLoginOptions, [](M) { return int{kIspSetup}; }},
    {kTransmitImages, initTransmitImages, nextTransmitImages,
     [](M m) {
         const DeviceSettings& s = m.settings;
         if (s.primaryIsNetwork) return int{s.ipDhcp ? kAddressAssignment : kDns};
         // The packet modems skip the provider pages whatever provider an earlier run chose.
         if (packetModem(s.modemModel)) return int{kWebserver};
         return int{s.ispName == kManualSetup ? kLoginOptions : kIspSetup};
     }},
    {kFtpSetup, initFtpSetup, nextFtpSetup, [](M) { return int{kTransmitImages}; }},
    {kSchedule, initSchedule, nextSchedule, [](M) { return int{kFtpSetup}; }},
    {kDays, initDays, nextDays, [](M) { return int{kSchedule}; }},
    {kDialOutOptions, initDialOutOptions, nextDialOutOptions, [](M) { return int{kDays}; }},
    {kFtpOptions, initFtpOptions, nextFtpOptions,
     [](M m) { return int{m.settings.primaryIsNetwork ? kDays : kDialOutOptions}; }},
    {kSummary, initSummary, [](WizardModel&, const PageView&) { return go(kComplete); },
     [](M m) { return int{m.settings.uploadEnabled ? kFtpOptions : kTransmitImages}; }},
    {kComplete, initComplete, [](WizardModel&, const PageView&) { return go(kStay); },
     [](M) { return kStay; }},
};

const PageRule* rulesOf(int page) {
    const auto found = std::find_if(std::begin(kRules), std::end(kRules),
                                    [page](const PageRule& rule) { return rule.page == page; });
    return found == std::end(kRules) ? nullptr : found;
}

}  // namespace

const std::vector<std::string>& modemNames() {
    static const std::vector<std::string> kNames = [] {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < kModemRows.size(); ++i)
            names.emplace_back(modemModelName(static_cast<ModemModel>(i)));
        return names;
    }();
    return kNames;
}

const std::vector<std::string>& baudRates() {
    static const std::vector<std::string> kRates = {"115200", "57600", "38400", "19200",
                                                    "9600",   "4800",  "2400",  "1200"};
    return kRates;
}

const std::vector<std::string>& providerNames() {
    static const std::vector<std::string> kProviders = {kManualSetup, "EarthLink", "AT&T", "MindSpring",
                                                        "XO"};
    return kProviders;
}

const std::vector<std::string>& serialPortNames() {
    static const std::vector<std::string> kPorts = [] {
        std::vector<std::string> ports{"AUTO"};
        for (int i = 1; i <= 32; ++i)
            ports.push_back("COM" + std::to_string(i));
        return ports;
    }();
    return kPorts;
}

PageView initialisePage(int page, WizardModel& model) {
    PageView view;
    if (const PageRule* rules = rulesOf(page)) rules->init(model, view);
    return view;
}

Moves activatePage(int page, const WizardModel& model, PageView& view, bool listSelected) {
    constexpr Moves kBackNext = Moves::Back | Moves::Next;
    switch (page) {
        case kWelcome:
            return Moves::Next;
        case kSerialPort:
            hide(view, Field::DetectStatus);
            hide(view, Field::DetectProgress);
            return kBackNext;
        case kSerialResult: {
            const std::string& port = model.settings.serialPort;
            if (!isPortName(port)) {
                showText(view, Field::FoundText, kNotFoundText);
                showText(view, Field::FoundHint, kNotFoundHint);
                showText(view, Field::Results, port);
                return Moves::Back;
            }
            showText(view, Field::FoundText,
                     "A device was found on " + port + "." + "  Click Next to continue setup.");
            showText(view, Field::FoundHint, "");
            showText(view, Field::Results, "");
            return kBackNext;
        }
        case kDeviceList:
            return listSelected ? kBackNext : Moves::Back;
        case kReadSettings:
            hide(view, Field::ReadStatus);
            hide(view, Field::ReadProgress);
            hide(view, Field::CannotProceed);  // an earlier run's failure is not this run's
            return kBackNext;
        case kSummary:
            // Back and Next again may have changed any page since the last showing.
            showText(view, Field::SummaryText, summaryText(model.settings));
            hide(view, Field::WriteStatus);
            hide(view, Field::WriteProgress);
            hide(view, Field::CannotProceed);
            return kBackNext;
        case kComplete:
            return Moves::Finish;
        default:
            return kBackNext;
    }
}

void controlChanged(int page, Field control, WizardModel& model, PageView& view) {
    if (page == kStaticAddress && control == Field::AutogenButton) autogenMask(model, view);
    if (page == kModem && control == Field::ModemCombo) chooseModem(model, view);
    if (page == kTransmitImages && (control == Field::UploadRadio || control == Field::ServeOnlyRadio))
        chooseUpload(control, model, view);
    if (page == kSchedule &&
        (control == Field::SecondsRadio || control == Field::MinutesRadio || control == Field::HoursRadio ||
         control == Field::AllDayRadio || control == Field::FromRadio))
        chooseScheduleRadio(control, model, view);
    if (page == kDays && (control == Field::EverydayRadio || control == Field::OnlyOnRadio))
        showEveryDay(control == Field::EverydayRadio, view);
    if (page == kFtpOptions && control == Field::DeleteBeforeRenameCheck) {
        model.settings.deleteBeforeRename = checked(view, Field::DeleteBeforeRenameCheck);
        view[Field::IisCheck].enabled = model.settings.deleteBeforeRename;
    }
}

PageAnswer nextPage(int page, WizardModel& model, const PageView& view) {
    if (auto refused = refuseUnwritableValues(page, view)) return *refused;
    const PageRule* rules = rulesOf(page);
    return rules ? rules->next(model, view) : PageAnswer{};
}

int previousPage(int page, const WizardModel& model) {
    const PageRule* rules = rulesOf(page);
    return rules ? rules->back(model) : kStay;
}

void chooseDevice(DeviceSettings& settings, const std::string& id, const std::string& addressColumn) {
    settings.targetId = id;
    settings.targetIp = hostPart(addressColumn);
}

std::string summaryText(const DeviceSettings& s) {
    std::string text;
    if (s.primaryIsNetwork)
        text = "Configure for ethernet operation " +
               (s.ipDhcp ? std::string("using DHCP mode") : "on " + s.ipAddress);
    else if (s.modemModel == ModemModel::IdenPacketData)
        text = "Configure to dial in on a modem using iDEN Packet Data";
    else if (s.modemModel == ModemModel::NovatelSage)
        text = "Configure to dial in on a modem using NovaTel protocol";
    else
        text = "Configure to dial in on a modem to " + s.phoneNumber;
    return text + (s.uploadEnabled ? ", with FTP to " + s.ftpHost + "."
                                   : ", serving images from the internal web page.");
}

bool isPortName(const std::string& result) {
    const auto& ports = serialPortNames();
    return result != "AUTO" && std::find(ports.begin(), ports.end(), result) != ports.end();
}

}  // namespace lm::wizard
