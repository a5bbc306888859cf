#pragma once

namespace lm::wizard {

// The wizard's pages by dialog id. A page's rules answer with the id of the page shown next.
enum Page : int {
    kWelcome = 109,
    kSerialPort = 110,
    kSerialResult = 122,
    kDeviceList = 114,
    kNetworkSetup = 115,
    kAddressAssignment = 123,
    kModem = 124,
    kStaticAddress = 125,
    kDns = 126,
    kTransmitImages = 127,
    kFtpSetup = 129,
    kSchedule = 131,
    kDays = 132,
    kIspSetup = 135,
    kFtpOptions = 138,
    kReadSettings = 142,
    kLoginOptions = 144,
    kDialOutOptions = 145,
    kWebserver = 159,
    kSummary = 137,
    kComplete = 134,
};
constexpr int kStay = -1;  // Next refused: the page stays

// The fields and texts of the pages that the rules read, set or hide, by name; each front end
// places them (the desktop program by its page table).
enum class Field {
    None,  // a text nobody refers to
    ExteriorTitle,
    // 109
    SerialRadio,
    NetworkRadio,
    // 110
    PortCombo,
    DetectStatus,
    DetectProgress,
    // 122
    FoundText,
    FoundHint,
    Results,
    // 114
    DeviceListView,
    // 115
    PrimaryNetworkRadio,
    PrimaryDialOutRadio,
    // 123
    StaticRadio,
    DhcpRadio,
    // 124
    PhoneField,
    ModemCombo,
    ModemTimeoutField,
    BaudCombo,
    InitField,
    DisableEthernetCheck,
    // 125
    IpField,
    MaskField,
    GatewayField,
    AutogenButton,
    // 126, 159
    Dns1Field,
    Dns2Field,
    Dns3Field,
    HttpPortField,
    // 127
    TransmitQuestion,
    UploadRadio,
    ServeOnlyRadio,
    // 129
    FtpHostField,
    FtpUserField,
    FtpPasswordField,
    FtpVerifyField,
    FtpPathField,
    FtpPath2Field,
    ArchiveCheck,
    // 131
    EveryField,
    SecondsRadio,
    MinutesRadio,
    HoursRadio,
    AllDayRadio,
    FromRadio,
    StartField,
    StopField,
    SetTimeCheck,
    // 132
    EverydayRadio,
    OnlyOnRadio,
    SunCheck,
    MonCheck,
    TueCheck,
    WedCheck,
    ThuCheck,
    FriCheck,
    SatCheck,
    // 135
    ProviderCombo,
    IspUserField,
    IspPasswordField,
    IspVerifyField,
    // 138
    FtpTimeoutField,
    PassiveCheck,
    DeleteBeforeRenameCheck,
    IisCheck,
    IdHtmlCheck,
    // 142
    RomWarning,
    ReadStatus,
    ReadProgress,
    CannotProceed,  // also on 137
    // 144
    SendCrCheck,
    ShellLoginCheck,
    // 145
    AlwaysUpCheck,
    // 137
    SummaryText,
    WriteStatus,
    WriteProgress,
};

constexpr const char* kCannotProceedText = "Process cannot proceed.  Use Back or Cancel...";

}  // namespace lm::wizard
