#include "gui/wizard/WizardPageTable.h"

#include <algorithm>

#include "core/wizard/WizardPages.h"

namespace lm::gui {

namespace {

using namespace lm::wizard;
using K = ControlLayout::Kind;
constexpr int kAll = 6;     // a control across the whole page
constexpr int kShort = 32;  // a field for a count or a time of day

// clang-format off
const std::vector<PageLayout> kPages = {
    {kWelcome, nullptr, nullptr, {
        {kExteriorTitle, K::Title, "Welcome to the Setup Wizard", 0, 0, kAll},
        {0, K::Text, "This wizard sets up a Lumetra camera or video server: how it reaches the network or "
                     "dials out, the port of its web server, and how and when it uploads its pictures.", 1, 0, kAll},
        {0, K::Text, "How is this computer connected to the device?", 2, 0, kAll},
        {kSerialRadio, K::Radio, "&Serial Port", 3, 0, kAll, 1},
        {kNetworkRadio, K::Radio, "&Network Connection", 4, 0, kAll, 1},
        {0, K::Text, "To continue, click Next.", 5, 0, kAll}}},
    {kSerialPort, "Choose serial port", "The serial port of this computer that the device's console is on.", {
        {0, K::Text, "Connect the device's serial port to this computer with a null-modem cable. Choose "
                     "that port, or AUTO to try every port.", 0, 0, kAll},
        {kPortCombo, K::Combo, "&Serial port:", 1},
        {kDetectStatus, K::Text, "Checking...", 2, 0, kAll},
        {kDetectProgress, K::Progress, nullptr, 3, 0, kAll}}},
    {kSerialResult, "Device not found", "What the search on the serial port found.", {
        {kFoundText, K::Text, "", 0, 0, kAll},
        {kFoundHint, K::Text, "", 1, 0, kAll},
        {kResults, K::Text, "Results", 2, 0, kAll}}},
    {kDeviceList, "Choose a device", "The device on the network that you want to set up.", {
        {0, K::Text, "Select the device, then click Next.", 0, 0, kAll},
        {kDeviceListView, K::List, nullptr, 1, 0, kAll}}},
    {kNetworkSetup, "Network Setup", "How the device reaches the Internet.", {
        {kPrimaryNetworkRadio, K::Radio, "&Network (including LAN/WAN, DSL, Cable)", 0, 0, kAll, 1},
        {kPrimaryDialOutRadio, K::Radio, "&Serial Port (dial-out to ISP via modem or wireless modem)", 1, 0,
         kAll, 1}}},
    {kAddressAssignment, "IP Address Assignment", "How the device gets its address on the network.", {
        {kStaticRadio, K::Radio, "Static IP &Address", 0, 0, kAll, 1},
        {kDhcpRadio, K::Radio, "&Server-Assigned IP Address (DHCP)", 1, 0, kAll, 1}}},
    {kModem, "Modem Setup", "The modem the device dials out with, and the number it dials.", {
        {kModemCombo, K::Combo, "&Modem:", 0},
        {kPhoneField, K::Field, "&Phone #:", 1},
        {kInitField, K::Field, "Init &String:", 2},
        {kBaudCombo, K::Combo, "&Baud Rate:", 3},
        {kModemTimeoutField, K::Field, "&Timeout:", 4},
        {0, K::Text, "seconds", 4, 2},
        {kDisableEthernetCheck, K::Check, "Disable Ethernet", 5, 0, kAll}}},
    {kStaticAddress, "Static IP Address", "The device's own address on your network.", {
        {kIpField, K::Address, "&IP Address:", 0},
        {kMaskField, K::Address, "&Subnet Mask:", 1},
        {kAutogenButton, K::Button, "Autogen Mask", 1, 2},
        {kGatewayField, K::Address, "&Gateway:", 2}}},
    {kDns, "DNS Setup", "The name servers the device asks, and its web port.", {
        {kDns1Field, K::Address, "DNS Server &1:", 0},
        {kDns2Field, K::Address, "DNS Server &2:", 1},
        {kDns3Field, K::Address, "DNS Server &3:", 2},
        {kHttpPortField, K::Field, "&HTTP Port:", 3}}},
    {kTransmitImages, "Transmit Images", "Whether the device also sends its pictures out.", {
        {kTransmitQuestion, K::Text, "How would you like the camera to transmit images?", 0, 0, kAll},
        {kUploadRadio, K::Radio, "&Serve images and also upload to a web server", 1, 0, kAll, 1},
        {kServeOnlyRadio, K::Radio, "&Only serve images on request, no upload", 2, 0, kAll, 1}}},
    {kFtpSetup, "FTP Setup", "The FTP server the device uploads its pictures to.", {
        {kFtpHostField, K::Field, "FTP &Hostname:", 0},
        {kFtpUserField, K::Field, "&Username:", 1},
        {kFtpPasswordField, K::Password, "&Password:", 2},
        {kFtpVerifyField, K::Password, "&Verify Password:", 3},
        {kFtpPathField, K::Field, "Path/&Filename:", 4},
        {kFtpPath2Field, K::Field, "Secondary Path:", 5},
        {kArchiveCheck, K::Check, "Archive", 6, 1, kAll - 1}}},
    {kSchedule, "Upload Schedule", "How often, and between which times, the device uploads.", {
        {kEveryField, K::Field, "&Every", 0, 0, 1, 0, kShort},
        {kSecondsRadio, K::Radio, "&Seconds", 0, 2, 1, 1},
        {kMinutesRadio, K::Radio, "&Minutes", 0, 3, 1, 1},
        {kHoursRadio, K::Radio, "&Hours", 0, 4, 1, 1},
        {kAllDayRadio, K::Radio, "&24 hours a day", 1, 0, kAll, 2},
        {kFromRadio, K::Radio, "&From ", 2, 0, 1, 2},
        {kStartField, K::Field, nullptr, 2, 1, 1, 0, kShort},
        {0, K::Text, "to", 2, 2, 1, 0, 0, true},
        {kStopField, K::Field, nullptr, 2, 3, 1, 0, kShort},
        {kSetTimeCheck, K::Check, "Set the time from this computer", 3, 0, kAll}}},
    {kDays, "Upload Days", "The days on which the device uploads.", {
        {kEverydayRadio, K::Radio, "&Everyday", 0, 0, kAll, 1},
        {kOnlyOnRadio, K::Radio, "&Only on", 1, 0, kAll, 1},
        {kSunCheck, K::Check, "&Sun", 2, 1},
        {kMonCheck, K::Check, "&Mon", 2, 2},
        {kTueCheck, K::Check, "&Tue", 2, 3},
        {kWedCheck, K::Check, "&Wed", 2, 4},
        {kThuCheck, K::Check, "T&hur", 3, 1},
        {kFriCheck, K::Check, "&Fri", 3, 2},
        {kSatCheck, K::Check, "S&at", 3, 3}}},
    {kIspSetup, "ISP Setup", "The dial-up account the device logs in to.", {
        {kProviderCombo, K::Combo, "&Service Provider:", 0},
        {kIspUserField, K::Field, "&Username:", 1},
        {kIspPasswordField, K::Password, "&Password:", 2},
        {kIspVerifyField, K::Password, "&Verify Password:", 3}}},
    {kFtpOptions, "FTP Options", "How the device talks to the FTP server.", {
        {kFtpTimeoutField, K::Field, "&Timeout:", 0},
        {0, K::Text, "seconds", 0, 2},
        {kPassiveCheck, K::Check, "&Passive Mode", 1, 0, kAll},
        {kDeleteBeforeRenameCheck, K::Check, "&Delete before rename", 2, 0, kAll},
        {kIisCheck, K::Check, "&IIS 4.0", 3, 0, kAll},
        {kIdHtmlCheck, K::Check, "Use IP119A.html instead of IP.html", 4, 0, kAll}}},
    {kReadSettings, "Read Current Settings", "The wizard starts from the settings the device has now.", {
        {0, K::Text, "Click Next to read the device's current settings.", 0, 0, kAll},
        {kRomWarning, K::Text, "The device's firmware version could not be read: some settings may not "
                               "suit it.", 1, 0, kAll},
        {kReadStatus, K::Text, "Reading current settings, please wait...", 2, 0, kAll},
        {kReadProgress, K::Progress, nullptr, 3, 0, kAll},
        {kCannotProceed, K::Text, kCannotProceedText, 4, 0, kAll}}},
    {kLoginOptions, "Login Options", "How the device logs in to your service provider.", {
        {kSendCrCheck, K::Check, "Send &CR at Start", 0, 0, kAll},
        {kShellLoginCheck, K::Check, "&Shell Login", 1, 0, kAll}}},
    {kDialOutOptions, "Dial-Out Options", "When the device's dial-out connection is up.", {
        {kAlwaysUpCheck, K::Check, "&Always Up", 0, 0, kAll}}},
    {kWebserver, "Webserver Options", "The port the device's web server listens on.", {
        {kHttpPortField, K::Field, "&HTTP Port:", 0}}},
    {kSummary, "Summary", "What the wizard is about to set up.", {
        {kSummaryText, K::Text, "", 0, 0, kAll},
        {0, K::Text, "Click Next to write these settings to the device. It saves them and restarts, "
                     "which takes a minute or two.", 1, 0, kAll},
        {kWriteStatus, K::Text, "Device configuration update in progress...", 2, 0, kAll},
        {kWriteProgress, K::Progress, nullptr, 3, 0, kAll},
        {kCannotProceed, K::Text, kCannotProceedText, 4, 0, kAll}}},
    {kComplete, nullptr, nullptr, {
        {kExteriorTitle, K::Title, "Setup Wizard Complete", 0, 0, kAll},
        {0, K::Text, "The device has its new settings and restarts with them. Once it is back, the main "
                     "window's Refresh shows it.", 1, 0, kAll},
        {0, K::Text, "To close this wizard, click Finish.", 2, 0, kAll}}},
};
// clang-format on

}  // namespace

const std::vector<PageLayout>& wizardPages() {
    return kPages;
}

const PageLayout& wizardPage(int page) {
    const auto found = std::find_if(kPages.begin(), kPages.end(),
                                    [page](const PageLayout& table) { return table.page == page; });
    return found == kPages.end() ? kPages.front() : *found;
}

}  // namespace lm::gui
