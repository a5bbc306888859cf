#include <gtest/gtest.h>

#include <functional>

#include "core/wizard/PageRules.h"
#include "core/wizard/WizardPage.h"

namespace lm::wizard {
namespace {

// A model that passes every page's checks, so a test changes only what it is about.
struct Wizard {
    DeviceSettings s;
    bool network = true;
    FirmwareVersion firmware{2, 1, 3};
    WizardModel model{s, network, firmware};

    Wizard() {
        s.ipAddress = "10.1.1.9";
        s.netmask = "255.0.0.0";
        s.gateway = "10.1.1.1";
        s.httpPort = "80";
        s.phoneNumber = "5551212";
        s.ispUser = s.ispPassword = "anna";
        s.ftpHost = "example.com";
        s.ftpUser = s.ftpPassword = "cam";
        s.ftpPath = "cam.jpg";
    }

    // Next on the page as initialised, after the given controls were typed into.
    PageAnswer next(int page, const std::map<Field, std::string>& typed = {}) {
        PageView view = initialisePage(page, model);
        for (const auto& [id, text] : typed)
            view[id].text = text;
        return nextPage(page, model, view);
    }
};

using Arrange = std::function<void(DeviceSettings&, bool& network)>;
const Arrange kPlain = [](DeviceSettings&, bool&) {};

TEST(PageRules, NavigationArrows) {
    struct Case {
        int page;
        Arrange arrange;
        int next;
        int back;
    };
    const auto dialOut = [](ModemModel modem, const char* isp) {
        return [=](DeviceSettings& s, bool&) {
            s.primaryIsNetwork = false;
            s.modemModel = modem;
            s.ispName = isp;
        };
    };
    const Case cases[] = {
        {kWelcome, kPlain, kDeviceList, kStay},
        {kWelcome, [](DeviceSettings&, bool& n) { n = false; }, kSerialPort, kStay},
        {kSerialPort, kPlain, kSerialResult, kWelcome},
        {kSerialResult, kPlain, kReadSettings, kSerialPort},
        {kDeviceList, kPlain, kReadSettings, kWelcome},
        {kReadSettings, kPlain, kNetworkSetup, kDeviceList},
        {kReadSettings,
         [](DeviceSettings& s, bool& n) {
             s.deviceKind = 2;
             n = false;
         },
         kAddressAssignment, kSerialResult},
        {kNetworkSetup, kPlain, kAddressAssignment, kReadSettings},
        {kNetworkSetup, [](DeviceSettings& s, bool&) { s.primaryIsNetwork = false; }, kModem, kReadSettings},
        {kAddressAssignment, kPlain, kTransmitImages, kNetworkSetup},
        {kAddressAssignment,
         [](DeviceSettings& s, bool&) {
             s.ipDhcp = false;
             s.deviceKind = 1;
         },
         kStaticAddress, kReadSettings},
        {kStaticAddress, kPlain, kDns, kAddressAssignment},
        {kDns, kPlain, kTransmitImages, kStaticAddress},
        {kModem, kPlain, kWebserver, kNetworkSetup},
        {kWebserver, dialOut(ModemModel::IdenPacketData, "EarthLink"), kTransmitImages, kModem},
        {kWebserver, dialOut(ModemModel::NovatelSage, "EarthLink"), kTransmitImages, kModem},
        {kWebserver, dialOut(ModemModel::UsRobotics, "EarthLink"), kIspSetup, kModem},
        {kIspSetup, [](DeviceSettings& s, bool&) { s.ispName = "Manual Setup"; }, kLoginOptions, kWebserver},
        {kIspSetup, kPlain, kTransmitImages, kWebserver},
        {kLoginOptions, kPlain, kTransmitImages, kIspSetup},
        {kTransmitImages, kPlain, kSummary, kAddressAssignment},
        {kTransmitImages,
         [](DeviceSettings& s, bool&) {
             s.ipDhcp = false;
             s.uploadEnabled = true;
         },
         kFtpSetup, kDns},
        // A dial-up modem always uploads; the packet modems may only serve.
        {kTransmitImages, dialOut(ModemModel::ThreeJTech, "Manual Setup"), kFtpSetup, kLoginOptions},
        {kTransmitImages, dialOut(ModemModel::Other, "XO"), kFtpSetup, kIspSetup},
        {kTransmitImages, dialOut(ModemModel::IdenPacketData, "Manual Setup"), kSummary, kWebserver},
        {kFtpSetup, kPlain, kSchedule, kTransmitImages},
        {kSchedule, kPlain, kDays, kFtpSetup},
        {kDays, kPlain, kDialOutOptions, kSchedule},
        {kDialOutOptions, kPlain, kFtpOptions, kDays},
        {kFtpOptions, kPlain, kSummary, kDays},
        {kFtpOptions, dialOut(ModemModel::Ricochet, "XO"), kSummary, kDialOutOptions},
        {kSummary, kPlain, kComplete, kTransmitImages},
        {kSummary, [](DeviceSettings& s, bool&) { s.uploadEnabled = true; }, kComplete, kFtpOptions},
    };
    for (const Case& c : cases) {
        Wizard w;
        c.arrange(w.s, w.network);
        const PageAnswer answer = w.next(c.page);
        EXPECT_EQ(answer.next, c.next) << c.page;
        EXPECT_EQ(previousPage(c.page, w.model), c.back) << c.page;
    }
}

TEST(PageRules, FieldChecks) {
    struct Case {
        int page;
        std::map<Field, std::string> typed;
        int next;
        std::vector<std::string> titles;  // the boxes shown, in order
        std::string DeviceSettings::*stored = nullptr;
        const char* value = "";
    };
    const Case cases[] = {
        {kStaticAddress, {{Field::IpField, "0.0.0.0"}}, kStay, {"Blank entry value"}},
        {kStaticAddress, {{Field::MaskField, ""}}, kStay, {"Blank entry value"}},
        {kStaticAddress,
         {{Field::GatewayField, "0.0.0.0"}},
         kDns,
         {"Unusual entry value"},
         &DeviceSettings::gateway,
         ""},
        {kStaticAddress,
         {{Field::IpField, "10.1.1"}},
         kStay,
         {"Invalid entry value"},
         &DeviceSettings::ipAddress,
         "10.1.1.9"},
        {kDns, {{Field::HttpPortField, "81"}}, kTransmitImages, {}},
        {kDns, {{Field::Dns2Field, "0.0.0.0"}}, kTransmitImages, {}, &DeviceSettings::dns2, ""},
        {kDns, {{Field::HttpPortField, "080"}}, kTransmitImages, {}},
        {kDns, {{Field::HttpPortField, "8080"}}, kTransmitImages, {"Unusual entry value"}},
        {kDns, {{Field::HttpPortField, "0x50"}}, kTransmitImages, {"Unusual entry value"}},
        {kWebserver, {{Field::HttpPortField, "port"}}, kIspSetup, {"Unusual entry value"}},
        {kSchedule, {{Field::EveryField, "0"}}, kStay, {"Incorrect entry value"}},
        {kSchedule, {{Field::StartField, "5:00"}}, kStay, {"Incorrect entry value"}},
        {kSchedule, {{Field::StartField, "00:00"}, {Field::StopField, "24:00"}}, kDays, {}},
        {kSchedule,
         {{Field::StartField, "18:00"}, {Field::StopField, "05:00"}},
         kStay,
         {"Incorrect entry value"}},
        {kSchedule, {{Field::StartField, "10:60"}}, kStay, {"Incorrect entry value"}},
        {kSchedule, {{Field::StopField, "24:01"}}, kStay, {"Incorrect entry value"}},
        {kSchedule, {{Field::EveryField, "5"}}, kDays, {}},  // network primary: no modem to outrun
        {kFtpSetup,
         {{Field::FtpPathField, "Images/Cam.JPG"}},
         kSchedule,
         {},
         &DeviceSettings::ftpPath,
         "images/cam.jpg"},
        {kFtpSetup, {{Field::FtpPathField, "cam.png"}}, kStay, {"Invalid entry values"}},
        {kFtpSetup, {{Field::FtpHostField, "example.com/pics"}}, kStay, {"Invalid entry values"}},
        {kFtpSetup, {{Field::FtpUserField, ""}}, kStay, {"Invalid entry values"}},
        {kFtpSetup, {{Field::FtpVerifyField, "other"}}, kStay, {"Invalid entry values"}},
        {kIspSetup, {{Field::IspUserField, ""}}, kTransmitImages, {"Unusual entry values"}},
        {kIspSetup,
         {{Field::IspUserField, ""}, {Field::IspVerifyField, "x"}},
         kStay,
         {"Unusual entry values", "Incorrect entry values"}},
        {kModem, {{Field::ModemTimeoutField, "30"}}, kWebserver, {}, &DeviceSettings::connectTimeout, "60"},
        {kModem, {{Field::ModemTimeoutField, ""}}, kStay, {"Incorrect entry value"}},
        {kModem, {{Field::PhoneField, ""}}, kStay, {"Incorrect entry value"}},
        {kModem, {{Field::PhoneField, "555 1212"}}, kWebserver, {"Phone number error"}},
        {kFtpOptions, {{Field::FtpTimeoutField, "10"}}, kSummary, {}, &DeviceSettings::ftpTimeout, "60"},
        // A control character would run the rest of the value as shell commands on the device.
        {kFtpSetup,
         {{Field::FtpPasswordField, "pw\x1b:!reboot\n"}},
         kStay,
         {"Invalid entry value"},
         &DeviceSettings::ftpPassword,
         "cam"},
        {kModem,
         {{Field::InitField, "AT\x04"}},
         kStay,
         {"Invalid entry value"},
         &DeviceSettings::modemInit,
         ""},
        {kIspSetup,
         {{Field::ProviderCombo, "XO\rrm -rf /"}},
         kStay,
         {"Invalid entry value"},
         &DeviceSettings::ispName,
         "EarthLink"},
        {kSchedule, {{Field::StopField, "18:0\x7f"}}, kStay, {"Invalid entry value"}},
        // A value that would end the dial command's quote or split a pppd word stays on its page;
        // the FTP password takes the rest of its line, so anything printable.
        {kModem,
         {{Field::PhoneField, "555'; reboot; '"}},
         kStay,
         {"Invalid entry value"},
         &DeviceSettings::phoneNumber,
         "5551212"},
        {kIspSetup, {{Field::IspUserField, "o'brien"}}, kStay, {"Invalid entry value"}},
        {kIspSetup,
         {{Field::IspPasswordField, "p@ss w"}, {Field::IspVerifyField, "p@ss w"}},
         kStay,
         {"Invalid entry value"}},
        {kFtpSetup,
         {{Field::FtpPasswordField, "it's $5; ok"}, {Field::FtpVerifyField, "it's $5; ok"}},
         kSchedule,
         {},
         &DeviceSettings::ftpPassword,
         "it's $5; ok"},
    };
    for (const Case& c : cases) {
        Wizard w;
        w.s.modemModel = ModemModel::Other;
        const PageAnswer answer = w.next(c.page, c.typed);
        const std::string label = std::to_string(c.page) + " " + c.typed.begin()->second;
        EXPECT_EQ(answer.next, c.next) << label;
        std::vector<std::string> titles;
        for (const PageMessage& message : answer.messages)
            titles.push_back(message.title);
        EXPECT_EQ(titles, c.titles) << label;
        if (c.stored) {
            EXPECT_EQ(w.s.*c.stored, c.value) << label;
        }
    }
}

TEST(PageRules, UnwritableValueWarningNamesTheFieldAndTheFile) {
    Wizard w;
    const PageAnswer answer = w.next(kIspSetup, {{Field::IspUserField, "o'brien"}});
    ASSERT_EQ(answer.messages.size(), 1u);
    EXPECT_EQ(
        answer.messages[0].text,
        "The \"Username\" field holds \"'\", which would end or start a quoted part in chap-secrets and "
        "options.\nPlease remove it.");
    EXPECT_EQ(answer.messages[0].focus, Field::IspUserField);
}

TEST(PageRules, ControlCharacterWarningNamesTheFieldAndFocusesIt) {
    Wizard w;
    const PageAnswer answer = w.next(kFtpSetup, {{Field::FtpPath2Field, "a\nb"}});
    ASSERT_EQ(answer.messages.size(), 1u);
    EXPECT_NE(answer.messages[0].text.find("\"Secondary Path\""), std::string::npos);
    EXPECT_EQ(answer.messages[0].focus, Field::FtpPath2Field);
}

TEST(PageRules, ScheduleWarnsWhenFasterThanAModemInDialOut) {
    Wizard w;
    w.s.primaryIsNetwork = false;
    EXPECT_EQ(w.next(kSchedule, {{Field::EveryField, "5"}}).messages.size(), 1u);
    w.s.scheduleUnit = 60;  // five minutes
    EXPECT_TRUE(w.next(kSchedule, {{Field::EveryField, "5"}}).messages.empty());
}

TEST(PageRules, ModemTable) {
    struct Case {
        const char* model;
        const char* init;
        const char* phone;
        const char* baud;
        bool initOn, phoneOn, baudOn;
        bool emptyPhonePasses;
    };
    const Case cases[] = {
        {"US Robotics", "ATE1Q0V1&B1", "", "38400", false, true, true, false},
        {"3JTech", "AT&F", "", "38400", false, true, true, false},
        {"Novatel Sage", "AT", "", "19200", true, false, false, true},
        {"iDEN Packet Data", "AT", "S=2", "19200", true, false, true, false},
        {"Ricochet", "ATZ", "3333", "115200", false, false, false, false},
        {"NexTel", "ATZ2", "", "19200", false, false, false, true},
        {"Other", "ATX", "", "9600", true, true, true, false},
    };
    for (const Case& c : cases) {
        Wizard w;
        w.s.phoneNumber.clear();
        w.s.modemInit = "ATX";
        w.s.baudRate = "9600";
        PageView view = initialisePage(kModem, w.model);
        view[Field::ModemCombo].text = c.model;
        controlChanged(kModem, Field::ModemCombo, w.model, view);
        EXPECT_EQ(view[Field::InitField].text, c.init) << c.model;
        EXPECT_EQ(view[Field::PhoneField].text, c.phone) << c.model;
        EXPECT_EQ(view[Field::BaudCombo].text, c.baud) << c.model;
        EXPECT_EQ(view[Field::InitField].enabled, c.initOn) << c.model;
        EXPECT_EQ(view[Field::PhoneField].enabled, c.phoneOn) << c.model;
        EXPECT_EQ(view[Field::BaudCombo].enabled, c.baudOn) << c.model;
        view[Field::PhoneField].text = "";
        EXPECT_EQ(nextPage(kModem, w.model, view).next == kWebserver, c.emptyPhonePasses) << c.model;
    }
}

// A refusal for empty fields keeps its words, then names every required field left empty and puts
// the focus on the first.
TEST(PageRules, EmptyFieldsAreNamed) {
    struct Case {
        int page;
        std::map<Field, std::string> typed;
        const char* text;
        Field focus;
    };
    const Case cases[] = {
        {kModem,
         {{Field::PhoneField, ""}},
         "One of your entries is incomplete.\n\nLeft empty: Phone #.",
         Field::PhoneField},
        {kModem,
         {{Field::PhoneField, ""}, {Field::ModemTimeoutField, ""}},
         "One of your entries is incomplete.\n\nLeft empty: Phone #, Timeout.",
         Field::PhoneField},
        {kModem,
         {{Field::ModemTimeoutField, ""}},
         "One of your entries is incomplete.\n\nLeft empty: Timeout.",
         Field::ModemTimeoutField},
        {kFtpSetup,
         {{Field::FtpHostField, ""}, {Field::FtpPathField, ""}},
         "You must fill in all of these values.\n\nLeft empty: FTP Hostname, Path/Filename.",
         Field::FtpHostField},
        {kFtpSetup,
         {{Field::FtpPasswordField, ""}, {Field::FtpVerifyField, ""}},
         "You must fill in all of these values.\n\nLeft empty: Password.",
         Field::FtpPasswordField},
        {kStaticAddress,
         {{Field::MaskField, ""}},
         "Please specify a value for the Subnet Mask, or\nclick the Autogen button to generate it "
         "automatically.",
         Field::MaskField},
    };
    for (const Case& c : cases) {
        Wizard w;
        const PageAnswer answer = w.next(c.page, c.typed);
        EXPECT_EQ(answer.next, kStay) << c.text;
        ASSERT_FALSE(answer.messages.empty()) << c.text;
        EXPECT_EQ(answer.messages.back().text, c.text);
        EXPECT_EQ(answer.messages.back().focus, c.focus) << c.text;
    }
}

TEST(PageRules, ModemRecognisedFromTheSettings) {
    struct Case {
        const char* init;
        const char* phone;
        const char* baud;
        ModemModel model;
    };
    const Case cases[] = {
        {"ATE1Q0V1&B1", "S=2", "19200", ModemModel::UsRobotics},
        {"", "", "19200", ModemModel::NovatelSage},
        {"AT", "S=2", "19200", ModemModel::IdenPacketData},
        {"AT&F", "3333", "115200", ModemModel::ThreeJTech},
        {"ATZ", "3333", "115200", ModemModel::Ricochet},
        {"ATZ2", "1-9,555-1212", "19200", ModemModel::NexTel},  // the sample number is dropped first
        {"ATX", "5551212", "9600", ModemModel::Other},          // kept as it was
    };
    for (const Case& c : cases) {
        Wizard w;
        w.s.modemModel = ModemModel::Other;
        w.s.modemInit = c.init;
        w.s.phoneNumber = c.phone;
        w.s.baudRate = c.baud;
        const PageView view = initialisePage(kModem, w.model);
        EXPECT_EQ(w.s.modemModel, c.model) << c.init;
        EXPECT_EQ(view.at(Field::ModemCombo).text, modemModelName(c.model)) << c.init;
    }
}

TEST(PageRules, AutogenMask) {
    const std::pair<const char*, const char*> cases[] = {
        {"172.16.5.9", "255.255.0.0"},   {"10.1.1.1", "255.0.0.0"}, {"192.168.0.1", "255.255.255.0"},
        {"230.0.0.1", "240.0.0.0"},      {"", "240.0.0.0"},         {"0.0.0.0", "255.0.0.0"},
        {"not an address", "240.0.0.0"},
    };
    for (const auto& [address, mask] : cases) {
        Wizard w;
        PageView view = initialisePage(kStaticAddress, w.model);
        view[Field::IpField].text = address;
        controlChanged(kStaticAddress, Field::AutogenButton, w.model, view);
        EXPECT_EQ(view[Field::MaskField].text, mask) << address;
        EXPECT_EQ(w.s.netmask, mask) << address;
        EXPECT_EQ(w.s.ipAddress, address);
    }
}

TEST(PageRules, SummaryText) {
    struct Case {
        Arrange arrange;
        const char* text;
    };
    const Case cases[] = {
        {kPlain,
         "Configure for ethernet operation using DHCP mode, serving images from the internal web page."},
        {[](DeviceSettings& s, bool&) {
             s.ipDhcp = false;
             s.uploadEnabled = true;
         },
         "Configure for ethernet operation on 10.1.1.9, with FTP to example.com."},
        {[](DeviceSettings& s, bool&) { s.primaryIsNetwork = false; },
         "Configure to dial in on a modem to 5551212, serving images from the internal web page."},
        {[](DeviceSettings& s, bool&) {
             s.primaryIsNetwork = false;
             s.modemModel = ModemModel::NovatelSage;
         },
         "Configure to dial in on a modem using NovaTel protocol, serving images from the internal web "
         "page."},
        {[](DeviceSettings& s, bool&) {
             s.primaryIsNetwork = false;
             s.modemModel = ModemModel::IdenPacketData;
         },
         "Configure to dial in on a modem using iDEN Packet Data, serving images from the internal web "
         "page."},
    };
    for (const Case& c : cases) {
        Wizard w;
        c.arrange(w.s, w.network);
        EXPECT_EQ(summaryText(w.s), c.text);
    }
}

// Back from the summary, a change, and Next again: the summary says what will now be written.
TEST(PageRules, SummaryIsComposedEachTimeItIsShown) {
    Wizard w;
    PageView view = initialisePage(kSummary, w.model);
    activatePage(kSummary, w.model, view);
    EXPECT_EQ(view[Field::SummaryText].text, summaryText(w.s));
    w.s.ipDhcp = false;
    activatePage(kSummary, w.model, view);
    EXPECT_EQ(view[Field::SummaryText].text,
              "Configure for ethernet operation on 10.1.1.9, serving images from the internal web page.");
}

TEST(PageRules, SerialResultPage) {
    Wizard w;
    PageView view = initialisePage(kSerialResult, w.model);
    w.s.serialPort = "COM12";
    EXPECT_EQ(activatePage(kSerialResult, w.model, view), Moves::Back | Moves::Next);
    EXPECT_EQ(view[Field::FoundText].text, "A device was found on COM12.  Click Next to continue setup.");
    w.s.serialPort = "No device found on COM12";
    EXPECT_EQ(activatePage(kSerialResult, w.model, view), Moves::Back);
    EXPECT_EQ(view[Field::Results].text, w.s.serialPort);
    for (const char* notPort : {"COM0", "COM33", "AUTO", "COM1 ", ""})
        EXPECT_FALSE(isPortName(notPort));
}

TEST(PageRules, DeviceChoiceDropsThePort) {
    DeviceSettings s;
    chooseDevice(s, "00408C-C0A1B2", "192.168.1.20:8080");
    EXPECT_EQ(s.targetIp, "192.168.1.20");
    EXPECT_EQ(s.targetId, "00408C-C0A1B2");
}

}  // namespace
}  // namespace lm::wizard
