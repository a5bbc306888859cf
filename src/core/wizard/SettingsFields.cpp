#include "core/wizard/SettingsFields.h"

#include <array>

#include "core/wizard/WizardPages.h"

namespace lm::wizard {

namespace {

using S = DeviceSettings;
using K = SettingsField::Kind;

constexpr SettingsField text(const char* name, std::string S::*member, int page = 0,
                             Field control = Field::None, Field verify = Field::None) {
    return {name, K::Text, member, nullptr, nullptr, page, control, Field::None, verify};
}
constexpr SettingsField flag(const char* name, bool S::*member, int page = 0, Field control = Field::None,
                             Field off = Field::None) {
    return {name, K::Flag, nullptr, member, nullptr, page, control, off, Field::None};
}

const std::array kFields{
    flag("primaryIsNetwork", &S::primaryIsNetwork, kNetworkSetup, Field::PrimaryNetworkRadio,
         Field::PrimaryDialOutRadio),
    flag("ipDhcp", &S::ipDhcp, kAddressAssignment, Field::DhcpRadio, Field::StaticRadio),
    text("ipAddress", &S::ipAddress, kStaticAddress, Field::IpField),
    text("netmask", &S::netmask, kStaticAddress, Field::MaskField),
    text("gateway", &S::gateway, kStaticAddress, Field::GatewayField),
    text("dns1", &S::dns1, kDns, Field::Dns1Field),
    text("dns2", &S::dns2, kDns, Field::Dns2Field),
    text("dns3", &S::dns3, kDns, Field::Dns3Field),
    text("httpPort", &S::httpPort, kDns, Field::HttpPortField),
    text("hostname", &S::hostname),
    text("domain", &S::domain),
    SettingsField{"modemModel", K::Modem, nullptr, nullptr, nullptr, kModem, Field::ModemCombo, Field::None,
                  Field::None},
    text("phoneNumber", &S::phoneNumber, kModem, Field::PhoneField),
    text("connectTimeout", &S::connectTimeout, kModem, Field::ModemTimeoutField),
    text("baudRate", &S::baudRate, kModem, Field::BaudCombo),
    text("modemInit", &S::modemInit, kModem, Field::InitField),
    flag("disableEthernet", &S::disableEthernet, kModem, Field::DisableEthernetCheck),
    text("ispName", &S::ispName, kIspSetup, Field::ProviderCombo),
    text("ispUser", &S::ispUser, kIspSetup, Field::IspUserField),
    text("ispPassword", &S::ispPassword, kIspSetup, Field::IspPasswordField, Field::IspVerifyField),
    flag("sendCr", &S::sendCr, kLoginOptions, Field::SendCrCheck),
    flag("shellLogin", &S::shellLogin, kLoginOptions, Field::ShellLoginCheck),
    flag("uploadEnabled", &S::uploadEnabled, kTransmitImages, Field::UploadRadio, Field::ServeOnlyRadio),
    text("ftpHost", &S::ftpHost, kFtpSetup, Field::FtpHostField),
    text("ftpUser", &S::ftpUser, kFtpSetup, Field::FtpUserField),
    text("ftpPassword", &S::ftpPassword, kFtpSetup, Field::FtpPasswordField, Field::FtpVerifyField),
    text("ftpPath", &S::ftpPath, kFtpSetup, Field::FtpPathField),
    text("ftpPath2", &S::ftpPath2, kFtpSetup, Field::FtpPath2Field),
    flag("archive", &S::archive, kFtpSetup, Field::ArchiveCheck),
    text("scheduleEvery", &S::scheduleEvery, kSchedule, Field::EveryField),
    SettingsField{"scheduleUnit", K::Number, nullptr, nullptr, &S::scheduleUnit, kSchedule, Field::None,
                  Field::None, Field::None},
    flag("scheduleWindow", &S::scheduleWindow, kSchedule, Field::FromRadio, Field::AllDayRadio),
    text("scheduleStart", &S::scheduleStart, kSchedule, Field::StartField),
    text("scheduleStop", &S::scheduleStop, kSchedule, Field::StopField),
    flag("setTimeFromPc", &S::setTimeFromPc, kSchedule, Field::SetTimeCheck),
    flag("everyDay", &S::everyDay, kDays, Field::EverydayRadio, Field::OnlyOnRadio),
    flag("daySun", &S::daySun, kDays, Field::SunCheck),
    flag("dayMon", &S::dayMon, kDays, Field::MonCheck),
    flag("dayTue", &S::dayTue, kDays, Field::TueCheck),
    flag("dayWed", &S::dayWed, kDays, Field::WedCheck),
    flag("dayThu", &S::dayThu, kDays, Field::ThuCheck),
    flag("dayFri", &S::dayFri, kDays, Field::FriCheck),
    flag("daySat", &S::daySat, kDays, Field::SatCheck),
    flag("alwaysUp", &S::alwaysUp, kDialOutOptions, Field::AlwaysUpCheck),
    text("ftpTimeout", &S::ftpTimeout, kFtpOptions, Field::FtpTimeoutField),
    flag("passiveMode", &S::passiveMode, kFtpOptions, Field::PassiveCheck),
    flag("deleteBeforeRename", &S::deleteBeforeRename, kFtpOptions, Field::DeleteBeforeRenameCheck),
    flag("iisWorkaround", &S::iisWorkaround, kFtpOptions, Field::IisCheck),
    flag("useIdHtmlName", &S::useIdHtmlName, kFtpOptions, Field::IdHtmlCheck),
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

void copyField(const SettingsField& field, const DeviceSettings& from, DeviceSettings& to) {
    if (field.text) to.*field.text = from.*field.text;
    if (field.flag) to.*field.flag = from.*field.flag;
    if (field.number) to.*field.number = from.*field.number;
    if (field.kind == SettingsField::Kind::Modem) to.modemModel = from.modemModel;
}

}  // namespace lm::wizard
