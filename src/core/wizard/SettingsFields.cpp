#include "core/wizard/SettingsFields.h"

#include <array>

#include "core/wizard/WizardPages.h"

namespace lm::wizard {

namespace {

using S = DeviceSettings;
using K = SettingsField::Kind;

constexpr SettingsField text(const char* name, std::string S::*member, int page = 0, int control = 0,
                             int verify = 0) {
    return {name, K::Text, member, nullptr, nullptr, page, control, 0, verify};
}
constexpr SettingsField flag(const char* name, bool S::*member, int page = 0, int control = 0, int off = 0) {
    return {name, K::Flag, nullptr, member, nullptr, page, control, off, 0};
}

const std::array kFields{
    flag("primaryIsNetwork", &S::primaryIsNetwork, kNetworkSetup, kPrimaryNetworkRadio, kPrimaryDialOutRadio),
    flag("ipDhcp", &S::ipDhcp, kAddressAssignment, kDhcpRadio, kStaticRadio),
    text("ipAddress", &S::ipAddress, kStaticAddress, kIpField),
    text("netmask", &S::netmask, kStaticAddress, kMaskField),
    text("gateway", &S::gateway, kStaticAddress, kGatewayField),
    text("dns1", &S::dns1, kDns, kDns1Field),
    text("dns2", &S::dns2, kDns, kDns2Field),
    text("dns3", &S::dns3, kDns, kDns3Field),
    text("httpPort", &S::httpPort, kDns, kHttpPortField),
    text("hostname", &S::hostname),
    text("domain", &S::domain),
    SettingsField{"modemModel", K::Modem, nullptr, nullptr, nullptr, kModem, kModemCombo, 0, 0},
    text("phoneNumber", &S::phoneNumber, kModem, kPhoneField),
    text("connectTimeout", &S::connectTimeout, kModem, kModemTimeoutField),
    text("baudRate", &S::baudRate, kModem, kBaudCombo),
    text("modemInit", &S::modemInit, kModem, kInitField),
    flag("disableEthernet", &S::disableEthernet, kModem, kDisableEthernetCheck),
    text("ispName", &S::ispName, kIspSetup, kProviderCombo),
    text("ispUser", &S::ispUser, kIspSetup, kIspUserField),
    text("ispPassword", &S::ispPassword, kIspSetup, kIspPasswordField, kIspVerifyField),
    flag("sendCr", &S::sendCr, kLoginOptions, kSendCrCheck),
    flag("shellLogin", &S::shellLogin, kLoginOptions, kShellLoginCheck),
    flag("uploadEnabled", &S::uploadEnabled, kTransmitImages, kUploadRadio, kServeOnlyRadio),
    text("ftpHost", &S::ftpHost, kFtpSetup, kFtpHostField),
    text("ftpUser", &S::ftpUser, kFtpSetup, kFtpUserField),
    text("ftpPassword", &S::ftpPassword, kFtpSetup, kFtpPasswordField, kFtpVerifyField),
    text("ftpPath", &S::ftpPath, kFtpSetup, kFtpPathField),
    text("ftpPath2", &S::ftpPath2, kFtpSetup, kFtpPath2Field),
    flag("archive", &S::archive, kFtpSetup, kArchiveCheck),
    text("scheduleEvery", &S::scheduleEvery, kSchedule, kEveryField),
    SettingsField{"scheduleUnit", K::Number, nullptr, nullptr, &S::scheduleUnit, kSchedule, 0, 0, 0},
    flag("scheduleWindow", &S::scheduleWindow, kSchedule, kFromRadio, kAllDayRadio),
    text("scheduleStart", &S::scheduleStart, kSchedule, kStartField),
    text("scheduleStop", &S::scheduleStop, kSchedule, kStopField),
    flag("setTimeFromPc", &S::setTimeFromPc, kSchedule, kSetTimeCheck),
    flag("everyDay", &S::everyDay, kDays, kEverydayRadio, kOnlyOnRadio),
    flag("daySun", &S::daySun, kDays, kSunCheck),
    flag("dayMon", &S::dayMon, kDays, kMonCheck),
    flag("dayTue", &S::dayTue, kDays, kTueCheck),
    flag("dayWed", &S::dayWed, kDays, kWedCheck),
    flag("dayThu", &S::dayThu, kDays, kThuCheck),
    flag("dayFri", &S::dayFri, kDays, kFriCheck),
    flag("daySat", &S::daySat, kDays, kSatCheck),
    flag("alwaysUp", &S::alwaysUp, kDialOutOptions, kAlwaysUpCheck),
    text("ftpTimeout", &S::ftpTimeout, kFtpOptions, kFtpTimeoutField),
    flag("passiveMode", &S::passiveMode, kFtpOptions, kPassiveCheck),
    flag("deleteBeforeRename", &S::deleteBeforeRename, kFtpOptions, kDeleteBeforeRenameCheck),
    flag("iisWorkaround", &S::iisWorkaround, kFtpOptions, kIisCheck),
    flag("useIdHtmlName", &S::useIdHtmlName, kFtpOptions, kIdHtmlCheck),
};

}  // namespace

std::span<const SettingsField> settingsFields() {
    return kFields;
}

const SettingsField* findSettingsField(const std::string& name) {
    for (const SettingsField& field : kFields)
        if (name == field.name) return &field;
    return nullptr;
}

std::string fieldText(const DeviceSettings& settings, const SettingsField& field) {
    switch (field.kind) {
        case SettingsField::Kind::Text:
            return settings.*field.text;
        case SettingsField::Kind::Flag:
            return settings.*field.flag ? "yes" : "no";
        case SettingsField::Kind::Number:
            return std::to_string(settings.*field.number);
        case SettingsField::Kind::Modem:
            return modemModelName(settings.modemModel);
    }
    return {};
}

}  // namespace lm::wizard
