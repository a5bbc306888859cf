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

// Control ids, by page. Ids shared by several pages are named once.
enum Control : int {
    kExteriorTitle = 1314,
    // 109
    kSerialRadio = 1051,
    kNetworkRadio = 1050,
    // 110
    kPortCombo = 1058,
    kDetectStatus = 1070,
    kDetectProgress = 1071,
    // 122
    kFoundText = 1073,
    kFoundHint = 1260,
    kResults = 1074,
    // 114
    kDeviceListView = 1062,
    // 115
    kPrimaryNetworkRadio = 1064,
    kPrimaryDialOutRadio = 1063,
    // 123
    kStaticRadio = 1075,
    kDhcpRadio = 1076,
    // 124
    kPhoneField = 1127,
    kModemCombo = 1219,
    kModemTimeoutField = 1131,  // also the ISP page's verify field
    kBaudCombo = 1047,
    kInitField = 1128,
    kDisableEthernetCheck = 1234,  // also the FTP page's "Archive"
    // 125
    kIpField = 1078,
    kMaskField = 1079,
    kGatewayField = 1080,
    kAutogenButton = 1232,
    // 126, 159
    kDns1Field = 1082,
    kDns2Field = 1083,
    kDns3Field = 1084,
    kHttpPortField = 1086,
    // 127
    kTransmitQuestion = 1228,
    kUploadRadio = 1089,
    kServeOnlyRadio = 1090,
    // 129
    kFtpHostField = 1094,
    kFtpUserField = 1093,
    kFtpPasswordField = 1092,
    kFtpVerifyField = 1096,
    kFtpPathField = 1091,
    kFtpPath2Field = 1097,
    kArchiveCheck = 1234,
    // 131
    kEveryField = 1098,
    kSecondsRadio = 1099,
    kMinutesRadio = 1100,
    kHoursRadio = 1101,
    kAllDayRadio = 1102,
    kFromRadio = 1103,
    kStartField = 1104,
    kStopField = 1105,
    kSetTimeCheck = 1225,
    // 132
    kEverydayRadio = 1106,
    kOnlyOnRadio = 1107,
    kSunCheck = 1119,
    kMonCheck = 1122,
    kTueCheck = 1120,
    kWedCheck = 1123,
    kThuCheck = 1124,
    kFriCheck = 1125,
    kSatCheck = 1126,
    // 135
    kProviderCombo = 1154,
    kIspUserField = 1129,
    kIspPasswordField = 1130,
    kIspVerifyField = 1131,
    // 138
    kFtpTimeoutField = 1137,
    kPassiveCheck = 1138,
    kDeleteBeforeRenameCheck = 1139,
    kIisCheck = 1140,
    kIdHtmlCheck = 1227,
    // 142
    kRomWarning = 1199,
    kReadStatus = 1151,
    kReadProgress = 1150,
    kCannotProceed = 1136,  // also on 137
    // 144
    kSendCrCheck = 1152,
    kShellLoginCheck = 1153,
    // 145
    kAlwaysUpCheck = 1155,
    // 137
    kSummaryText = 1134,
    kWriteStatus = 1133,
    kWriteProgress = 1132,
};

constexpr const char* kCannotProceedText = "Process cannot proceed.  Use Back or Cancel...";

}  // namespace lm::wizard
