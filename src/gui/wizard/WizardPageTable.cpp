#include "gui/wizard/WizardPageTable.h"

#include <algorithm>
#include <utility>

#include "core/wizard/WizardPages.h"

namespace lm::gui {

namespace {

using namespace lm::wizard;
using K = ControlLayout::Kind;
using F = wizard::Field;
constexpr int kAll = 6;     // a control across the whole page
constexpr int kShort = 32;  // a field for a count or a time of day

// The control id of each field, as the pages' dialog templates number them.
const std::pair<F, int> kControlIds[] = {
    {F::ExteriorTitle, 1314},
    {F::SerialRadio, 1051},
    {F::NetworkRadio, 1050},
    {F::PortCombo, 1058},
    {F::DetectStatus, 1070},
    {F::DetectProgress, 1071},
    {F::FoundText, 1073},
    {F::FoundHint, 1260},
    {F::Results, 1074},
    {F::DeviceListView, 1062},
    {F::PrimaryNetworkRadio, 1064},
    {F::PrimaryDialOutRadio, 1063},
    {F::StaticRadio, 1075},
    {F::DhcpRadio, 1076},
    {F::PhoneField, 1127},
    {F::ModemCombo, 1219},
    {F::ModemTimeoutField, 1131},
    {F::BaudCombo, 1047},
    {F::InitField, 1128},
    {F::DisableEthernetCheck, 1234},
    {F::IpField, 1078},
    {F::MaskField, 1079},
    {F::GatewayField, 1080},
    {F::AutogenButton, 1232},
    {F::Dns1Field, 1082},
    {F::Dns2Field, 1083},
    {F::Dns3Field, 1084},
    {F::HttpPortField, 1086},
    {F::TransmitQuestion, 1228},
    {F::UploadRadio, 1089},
    {F::ServeOnlyRadio, 1090},
    {F::FtpHostField, 1094},
    {F::FtpUserField, 1093},
    {F::FtpPasswordField, 1092},
    {F::FtpVerifyField, 1096},
    {F::FtpPathField, 1091},
    {F::FtpPath2Field, 1097},
    {F::ArchiveCheck, 1234},
    {F::EveryField, 1098},
    {F::SecondsRadio, 1099},
    {F::MinutesRadio, 1100},
    {F::HoursRadio, 1101},
    {F::AllDayRadio, 1102},
    {F::FromRadio, 1103},
    {F::StartField, 1104},
    {F::StopField, 1105},
    {F::SetTimeCheck, 1225},
    {F::EverydayRadio, 1106},
    {F::OnlyOnRadio, 1107},
    {F::SunCheck, 1119},
    {F::MonCheck, 1122},
    {F::TueCheck, 1120},
    {F::WedCheck, 1123},
    {F::ThuCheck, 1124},
    {F::FriCheck, 1125},
    {F::SatCheck, 1126},
    {F::ProviderCombo, 1154},
    {F::IspUserField, 1129},
    {F::IspPasswordField, 1130},
    {F::IspVerifyField, 1131},
    {F::FtpTimeoutField, 1137},
    {F::PassiveCheck, 1138},
    {F::DeleteBeforeRenameCheck, 1139},
    {F::IisCheck, 1140},
    {F::IdHtmlCheck, 1227},
    {F::RomWarning, 1199},
    {F::ReadStatus, 1151},
    {F::ReadProgress, 1150},
    {F::CannotProceed, 1136},
    {F::SendCrCheck, 1152},
    {F::ShellLoginCheck, 1153},
    {F::AlwaysUpCheck, 1155},
    {F::SummaryText, 1134},
    {F::WriteStatus, 1133},
    {F::WriteProgress, 1132},
};

// clang-format off
const std::vector<PageLayout> kPages = {
    {kWelcome, nullptr, nullptr, {
        {F::ExteriorTitle, K::Title, "Welcome to the Setup Wizard", 0, 0, kAll},
        {F::None, K::Text, "This wizard sets up a Lumetra camera or video server: how it reaches the network or "
                     "dials out, the port of its web server, and how and when it uploads its pictures.", 1, 0, kAll},
        {F::None, K::Text, "How is this computer connected to the device?", 2, 0, kAll},
        {F::SerialRadio, K::Radio, "&Serial Port", 3, 0, kAll, 1},
        {F::NetworkRadio, K::Radio, "&Network Connection", 4, 0, kAll, 1},
        {F::None, K::Text, "To continue, click Next.", 5, 0, kAll}}},
    {kSerialPort, "Choose serial port", "The serial port of this computer that the device's console is on.", {
        {F::None, K::Text, "Connect the device's serial port to this computer with a null-modem cable. Choose "
                     "that port, or AUTO to try every port.", 0, 0, kAll},
        {F::PortCombo, K::Combo, "&Serial port:", 1},
        {F::DetectStatus, K::Text, "Checking...", 2, 0, kAll},
        {F::DetectProgress, K::Progress, nullptr, 3, 0, kAll}}},
    {kSerialResult, "Device not found", "What the search on the serial port found.", {
        {F::FoundText, K::Text, "", 0, 0, kAll},
        {F::FoundHint, K::Text, "", 1, 0, kAll},
        {F::Results, K::Text, "Results", 2, 0, kAll}}},
    {kDeviceList, "Choose a device", "The device on the network that you want to set up.", {
        {F::None, K::Text, "Select the device, then click Next.", 0, 0, kAll},
        {F::DeviceListView, K::List, nullptr, 1, 0, kAll}}},
    {kNetworkSetup, "Network Setup", "How the device reaches the Internet.", {
        {F::PrimaryNetworkRadio, K::Radio, "&Network (including LAN/WAN, DSL, Cable)", 0, 0, kAll, 1},
        {F::PrimaryDialOutRadio, K::Radio, "&Serial Port (dial-out to ISP via modem or wireless modem)", 1, 0,
         kAll, 1}}},
    {kAddressAssignment, "IP Address Assignment", "How the device gets its address on the network.", {
        {F::StaticRadio, K::Radio, "Static IP &Address", 0, 0, kAll, 1},
        {F::DhcpRadio, K::Radio, "&Server-Assigned IP Address (DHCP)", 1, 0, kAll, 1}}},
    {kModem, "Modem Setup", "The modem the device dials out with, and the number it dials.", {
        {F::ModemCombo, K::Combo, "&Modem:", 0},
        {F::PhoneField, K::Field, "&Phone #:", 1},
        {F::InitField, K::Field, "Init &String:", 2},
        {F::BaudCombo, K::Combo, "&Baud Rate:", 3},
        {F::ModemTimeoutField, K::Field, "&Timeout:", 4},
        {F::None, K::Text, "seconds", 4, 2},
        {F::DisableEthernetCheck, K::Check, "Disable Ethernet", 5, 0, kAll}}},
    {kStaticAddress, "Static IP Address", "The device's own address on your network.", {
        {F::IpField, K::Address, "&IP Address:", 0},
        {F::MaskField, K::Address, "&Subnet Mask:", 1},
        {F::AutogenButton, K::Button, "Autogen Mask", 1, 2},
        {F::GatewayField, K::Address, "&Gateway:", 2}}},
    {kDns, "DNS Setup", "The name servers the device asks, and its web port.", {
        {F::Dns1Field, K::Address, "DNS Server &1:", 0},
        {F::Dns2Field, K::Address, "DNS Server &2:", 1},
        {F::Dns3Field, K::Address, "DNS Server &3:", 2},
        {F::HttpPortField, K::Field, "&HTTP Port:", 3}}},
    {kTransmitImages, "Transmit Images", "Whether the device also sends its pictures out.", {
        {F::TransmitQuestion, K::Text, "How would you like the camera to transmit images?", 0, 0, kAll},
        {F::UploadRadio, K::Radio, "&Serve images and also upload to a web server", 1, 0, kAll, 1},
        {F::ServeOnlyRadio, K::Radio, "&Only serve images on request, no upload", 2, 0, kAll, 1}}},
    {kFtpSetup, "FTP Setup", "The FTP server the device uploads its pictures to.", {
        {F::FtpHostField, K::Field, "FTP &Hostname:", 0},
        {F::FtpUserField, K::Field, "&Username:", 1},
        {F::FtpPasswordField, K::Password, "&Password:", 2},
        {F::FtpVerifyField, K::Password, "&Verify Password:", 3},
        {F::FtpPathField, K::Field, "Path/&Filename:", 4},
        {F::FtpPath2Field, K::Field, "Secondary Path:", 5},
        {F::ArchiveCheck, K::Check, "Archive", 6, 1, kAll - 1}}},
    {kSchedule, "Upload Schedule", "How often, and between which times, the device uploads.", {
        {F::EveryField, K::Field, "&Every", 0, 0, 1, 0, kShort},
        {F::SecondsRadio, K::Radio, "&Seconds", 0, 2, 1, 1},
        {F::MinutesRadio, K::Radio, "&Minutes", 0, 3, 1, 1},
        {F::HoursRadio, K::Radio, "&Hours", 0, 4, 1, 1},
        {F::AllDayRadio, K::Radio, "&24 hours a day", 1, 0, kAll, 2},
        {F::FromRadio, K::Radio, "&From ", 2, 0, 1, 2},
        {F::StartField, K::Field, nullptr, 2, 1, 1, 0, kShort},
        {F::None, K::Text, "to", 2, 2, 1, 0, 0, true},
        {F::StopField, K::Field, nullptr, 2, 3, 1, 0, kShort},
        {F::SetTimeCheck, K::Check, "Set the time from this computer", 3, 0, kAll}}},
    {kDays, "Upload Days", "The days on which the device uploads.", {
        {F::EverydayRadio, K::Radio, "&Everyday", 0, 0, kAll, 1},
        {F::OnlyOnRadio, K::Radio, "&Only on", 1, 0, kAll, 1},
        {F::SunCheck, K::Check, "&Sun", 2, 1},
        {F::MonCheck, K::Check, "&Mon", 2, 2},
        {F::TueCheck, K::Check, "&Tue", 2, 3},
        {F::WedCheck, K::Check, "&Wed", 2, 4},
        {F::ThuCheck, K::Check, "T&hur", 3, 1},
        {F::FriCheck, K::Check, "&Fri", 3, 2},
        {F::SatCheck, K::Check, "S&at", 3, 3}}},
    {kIspSetup, "ISP Setup", "The dial-up account the device logs in to.", {
        {F::ProviderCombo, K::Combo, "&Service Provider:", 0},
        {F::IspUserField, K::Field, "&Username:", 1},
        {F::IspPasswordField, K::Password, "&Password:", 2},
        {F::IspVerifyField, K::Password, "&Verify Password:", 3}}},
    {kFtpOptions, "FTP Options", "How the device talks to the FTP server.", {
        {F::FtpTimeoutField, K::Field, "&Timeout:", 0},
        {F::None, K::Text, "seconds", 0, 2},
        {F::PassiveCheck, K::Check, "&Passive Mode", 1, 0, kAll},
        {F::DeleteBeforeRenameCheck, K::Check, "&Delete before rename", 2, 0, kAll},
        {F::IisCheck, K::Check, "&IIS 4.0", 3, 0, kAll},
        {F::IdHtmlCheck, K::Check, "Use IP119A.html instead of IP.html", 4, 0, kAll}}},
    {kReadSettings, "Read Current Settings", "The wizard starts from the settings the device has now.", {
        {F::None, K::Text, "Click Next to read the device's current settings.", 0, 0, kAll},
        {F::RomWarning, K::Text, "The device's firmware version could not be read: some settings may not "
                               "suit it.", 1, 0, kAll},
        {F::ReadStatus, K::Text, "Reading current settings, please wait...", 2, 0, kAll},
        {F::ReadProgress, K::Progress, nullptr, 3, 0, kAll},
        {F::CannotProceed, K::Text, kCannotProceedText, 4, 0, kAll}}},
    {kLoginOptions, "Login Options", "How the device logs in to your service provider.", {
        {F::SendCrCheck, K::Check, "Send &CR at Start", 0, 0, kAll},
        {F::ShellLoginCheck, K::Check, "&Shell Login", 1, 0, kAll}}},
    {kDialOutOptions, "Dial-Out Options", "When the device's dial-out connection is up.", {
        {F::AlwaysUpCheck, K::Check, "&Always Up", 0, 0, kAll}}},
    {kWebserver, "Webserver Options", "The port the device's web server listens on.", {
        {F::HttpPortField, K::Field, "&HTTP Port:", 0}}},
    {kSummary, "Summary", "What the wizard is about to set up.", {
        {F::SummaryText, K::Text, "", 0, 0, kAll},
        {F::None, K::Text, "Click Next to write these settings to the device. It saves them and restarts, "
                     "which takes a minute or two.", 1, 0, kAll},
        {F::WriteStatus, K::Text, "Device configuration update in progress...", 2, 0, kAll},
        {F::WriteProgress, K::Progress, nullptr, 3, 0, kAll},
        {F::CannotProceed, K::Text, kCannotProceedText, 4, 0, kAll}}},
    {kComplete, nullptr, nullptr, {
        {F::ExteriorTitle, K::Title, "Setup Wizard Complete", 0, 0, kAll},
        {F::None, K::Text, "The device has its new settings and restarts with them. Once it is back, the main "
                     "window's Refresh shows it.", 1, 0, kAll},
        {F::None, K::Text, "To close this wizard, click Finish.", 2, 0, kAll}}},
};
// clang-format on

}  // namespace

const std::vector<PageLayout>& wizardPages() {
    return kPages;
}

int controlId(wizard::Field field) {
    for (const auto& [named, id] : kControlIds)
        if (named == field) return id;
    return 0;
}

const PageLayout& wizardPage(int page) {
    const auto found = std::find_if(kPages.begin(), kPages.end(),
                                    [page](const PageLayout& table) { return table.page == page; });
    return found == kPages.end() ? kPages.front() : *found;
}

}  // namespace lm::gui
