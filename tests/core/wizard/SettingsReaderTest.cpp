// Reading a device's settings: the file parsing, the reader over telnet and the console, and the
// serial port detection, against simulated devices.
#include <gtest/gtest.h>

#include <sstream>

#include "core/platform/TextMatch.h"
#include "core/wizard/SerialDetection.h"
#include "core/wizard/SettingsParser.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/WizardPages.h"
#include "support/RecordingChannel.h"
#include "support/SimulatedDevice.h"

namespace lm {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\r\n");
    return lines;
}

TEST(SettingsParser, LookupsFindKeysAnywhereAndTakeEachLineOnce) {
    auto lines = linesOf("# nameserver in a comment\nNameServer 10.0.0.1\nnameserver 10.0.0.2\nkey=");
    SettingsLines file(lines);
    EXPECT_EQ(file.peek("NAMESERVER "), "in a comment");
    EXPECT_EQ(file.take("nameserver "), "in a comment");
    EXPECT_EQ(file.take("nameserver "), "10.0.0.1");  // letter case of the device kept
    EXPECT_EQ(file.take("nameserver "), "10.0.0.2");
    EXPECT_EQ(file.take("nameserver "), "");
    EXPECT_TRUE(file.has("KEY="));
    EXPECT_EQ(file.take("key="), "");
    EXPECT_FALSE(file.has(""));
}

TEST(SettingsParser, VersionLineGivesFamilyAndFirmware) {
    struct Case {
        const char* text;
        bool second;
        int kind;
        FirmwareVersion firmware;
        bool warning;
    } cases[] = {
        {"Lumetra ZelvixXL version 2.1.3", true, 0, {2, 1, 3}, false},
        {"Lumetra ZelvixXL", false, 0, {7, 7, 7}, true},  // the family word ends the line: no value
        {"PellMandor version 1.0.5", false, 1, {1, 0, 5}, false},
        {"Farloomer_SP 3 version 0.9.1", false, 2, {0, 9, 1}, true},
        {"zelvix build 1.2", false, 0, {7, 7, 7}, true},
        {"Draviel version 3.x", true, 0, {3, 7, 7}, false},
    };
    for (const auto& c : cases) {
        DeviceSettings settings;
        auto lines = linesOf(c.text);
        const VersionFacts facts = parseVersionFile(lines, settings, {7, 7, 7});
        EXPECT_EQ(settings.secondGeneration, c.second) << c.text;
        EXPECT_EQ(settings.deviceKind, c.kind) << c.text;
        EXPECT_EQ(facts.firmware.major, c.firmware.major) << c.text;
        EXPECT_EQ(facts.firmware.minor, c.firmware.minor) << c.text;
        EXPECT_EQ(facts.firmware.patch, c.firmware.patch) << c.text;
        EXPECT_EQ(facts.romWarning, c.warning) << c.text;
    }
}

TEST(SettingsParser, UploadFileInBothForms) {
    DeviceSettings s;
    auto script = linesOf(
        "timeout 120\nopen ftp.example.com\nuser anna top floor \nbinary\npassive\ncd pics\n"
        "put /var/httpd/zelvix.jpg cam1.jpg.tmp\nrename cam1.jpg cam1.jpg.del\ndelete cam1.jpg.del\nquit");
    parseUploadFile(script, s);
    EXPECT_EQ(s.ftpTimeout, "120");
    EXPECT_EQ(s.ftpHost, "ftp.example.com");
    EXPECT_EQ(s.ftpUser, "anna");
    EXPECT_EQ(s.ftpPassword, "top floor");
    EXPECT_TRUE(s.passiveMode);
    EXPECT_EQ(s.ftpPath, "pics/cam1.jpg");
    EXPECT_EQ(s.ftpPath2, DeviceSettings::kNotSupported);
    EXPECT_TRUE(s.deleteBeforeRename);
    EXPECT_TRUE(s.iisWorkaround);

    auto keys = linesOf(
        "timeout=60\nhostname=h\nuser=u\npassword=p w\npassive=off\narchive=on\ndelete_file=on\niis_bug=off\n"
        "filename=a/b.jpg\nfilename2=\nfilename3=a/ip.html");
    parseUploadFile(keys, s);
    EXPECT_EQ(s.ftpTimeout, "60");
    EXPECT_EQ(s.ftpPassword, "p w");
    EXPECT_FALSE(s.passiveMode);
    EXPECT_TRUE(s.archive);
    EXPECT_EQ(s.ftpPath, "a/b.jpg");
    EXPECT_EQ(s.ftpPath2, "");
    EXPECT_TRUE(s.deleteBeforeRename);
    EXPECT_FALSE(s.iisWorkaround);
}

TEST(SettingsParser, ScheduleDialoutAndNetworkFiles) {
    DeviceSettings s;
    s.scheduleStart = "01:00";
    auto allDay = linesOf(
        "sched_ftp_delay=0\nsched_ftp_time_start=0:00 \nsched_ftp_time_stop=24:00\n"
        "sched_ftp_day_sun=off\nsched_ftp_day_mon=off");
    parseScheduleFile(allDay, s);
    EXPECT_EQ(s.scheduleEvery, "10");
    EXPECT_EQ(s.scheduleStart, "05:00");
    EXPECT_EQ(s.scheduleStop, "19:00");
    EXPECT_FALSE(s.scheduleWindow);
    EXPECT_TRUE(s.everyDay);  // every day off reads as every day

    auto window = linesOf(
        "sched_ftp_delay=45\nsched_ftp_time_start=08:00\nsched_ftp_time_stop=17:30\n"
        "sched_ftp_day_mon=ON\nsched_ftp_day_tue=on");
    parseScheduleFile(window, s);
    EXPECT_TRUE(s.scheduleWindow);
    EXPECT_EQ(s.scheduleStop, "17:30");
    EXPECT_TRUE(s.dayMon && s.dayTue && !s.daySun && !s.everyDay);

    auto dialout = linesOf("DEVICE_SPEED=\nPHONE_NUMBER=5551212\nISP=\nALWAYS_UP=YES\nSHELL_LOGIN=no");
    s.modemInit = "ATZ";
    parseDialoutConf(dialout, s);
    EXPECT_EQ(s.baudRate, "38400");
    EXPECT_EQ(s.modemInit, "");  // missing: emptied, which the modem page reads as a Novatel set-up
    EXPECT_EQ(s.ispName, "EarthLink");
    EXPECT_TRUE(s.alwaysUp);
    EXPECT_FALSE(s.shellLogin);

    auto eth0 = linesOf("BOOTPROTO=DHCP\nIPADDR=10.1.2.3");
    parseIfcfgEth0(eth0, s);
    EXPECT_TRUE(s.ipDhcp);
    auto ifconfig = linesOf("eth0      Link encap:Ethernet  HWaddr 02:4C:55:11:9A:2B  \n");
    parseIfconfig(ifconfig, s);
    EXPECT_EQ(s.macAddress, "02:4C:55:11:9A:2B");
}

// What a device that is not at factory settings holds must read back into the settings that write
// it again: uploading stays on, a dial-out link stays the primary one with its modem and its
// Ethernet choice, the address page keeps its ID name, and a key list without a secondary path keeps
// its image path.
TEST(SettingsParser, NonFactorySettingsReadBack) {
    using Parse = void (*)(std::vector<std::string>&, DeviceSettings&);
    const struct {
        const char* file;
        Parse parse;
        const char* text;
        void (*check)(const DeviceSettings&);
    } cases[] = {
        {"sched on", parseScheduleFile, "sched_ftp_upload=on\nsched_ftp_delay=30",
         [](const DeviceSettings& s) { EXPECT_TRUE(s.uploadEnabled); }},
        {"sched off", parseScheduleFile, "sched_ftp_upload=OFF",
         [](const DeviceSettings& s) { EXPECT_FALSE(s.uploadEnabled); }},
        {"dial-out, US Robotics", parseDialoutConf,
         "DEVICE_SPEED=57600\nMODEM_INIT=ATE1Q0V1&B1\nPHONE_NUMBER=5551234\nENABLED=yes",
         [](const DeviceSettings& s) {
             EXPECT_FALSE(s.primaryIsNetwork);
             EXPECT_EQ(s.modemModel, ModemModel::UsRobotics);
         }},
        {"network, Ricochet", parseDialoutConf, "DEVICE_SPEED=115200\nPHONE_NUMBER=3333\nENABLED=no",
         [](const DeviceSettings& s) {
             EXPECT_TRUE(s.primaryIsNetwork);
             EXPECT_EQ(s.modemModel, ModemModel::Ricochet);
         }},
        {"key form without filename2", parseUploadFile,
         "hostname=h\nuser=u\npassword=p\nfilename=pics/cam.jpg\nfilename3=pics/ip9A2B.html",
         [](const DeviceSettings& s) {
             EXPECT_EQ(s.ftpPath, "pics/cam.jpg");
             EXPECT_EQ(s.ftpPath2, DeviceSettings::kNotSupported);
             EXPECT_TRUE(s.useIdHtmlName);
         }},
        {"key form, plain page name", parseUploadFile, "filename=cam.jpg\nfilename2=\nfilename3=ip.html",
         [](const DeviceSettings& s) { EXPECT_FALSE(s.useIdHtmlName); }},
        {"another device's ID", parseUploadFile, "filename=cam.jpg\nfilename2=\nfilename3=ip0000.html",
         [](const DeviceSettings& s) { EXPECT_FALSE(s.useIdHtmlName); }},
        {"script form with ID page", parseUploadFile,
         "open h\nput /var/httpd/ip.html pics/ip9A2B.html.tmp\nput /var/httpd/zelvix.jpg pics/cam.jpg.tmp",
         [](const DeviceSettings& s) {
             EXPECT_EQ(s.ftpPath, "pics/cam.jpg");
             EXPECT_TRUE(s.useIdHtmlName);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        DeviceSettings s;
        s.macAddress = "02:4C:55:11:9A:2B";
        s.uploadEnabled = !contains(c.text, "=on");  // the opposite of what an upload line says
        auto lines = linesOf(c.text);
        c.parse(lines, s);
        c.check(s);
    }
}

// Ethernet can be off only behind a dial-out link: there the device's ONBOOT says; otherwise the
// modem page's choice starts checked, as for a device first switched to dialling out.
TEST(SettingsParser, DisableEthernetFollowsTheDialOutLink) {
    const struct {
        bool networkPrimary;
        const char* onboot;
        bool disabled;
    } cases[] = {{false, "ONBOOT=no", true}, {false, "ONBOOT=yes", false}, {true, "ONBOOT=yes", true}};
    for (const auto& c : cases) {
        DeviceSettings s;
        s.primaryIsNetwork = c.networkPrimary;
        auto lines = linesOf(std::string("DEVICE=eth0\n") + c.onboot);
        parseIfcfgEth0(lines, s);
        EXPECT_EQ(s.disableEthernet, c.disabled) << c.onboot;
    }
}

class ReaderTest : public test::SimulatedDeviceTest {
protected:
    void start(sim::DeviceConfig device) {
        SimulatedDeviceTest::start(std::move(device), Timing::fast(), 2);
        wizard = std::make_unique<WizardSession>(*session);
        wizard->settings().targetIp = dotted(simulator->devices()[0].address);
    }
    static sim::DeviceConfig device(const char* address) {
        sim::DeviceConfig d;
        d.mac = *sim::parseMac("02:4C:55:C8:9A:2B");
        d.address = *parseIpv4(address);
        return d;
    }

    test::RecordingPage page;
    std::unique_ptr<WizardSession> wizard;
};

TEST_F(ReaderTest, ReadsEveryFileOverTelnet) {
    auto d = device("127.0.72.11");
    d.shell.files["/etc/config/resolv.conf"] = "domain site\nnameserver 10.0.0.9\n";
    start(d);
    ASSERT_EQ(readSettings(*wizard, page.page, nullptr), Outcome::Ok);
    const DeviceSettings& s = wizard->settings();
    EXPECT_TRUE(s.secondGeneration);
    EXPECT_EQ(session->firmware().major, 4);
    EXPECT_EQ(s.macAddress, "02:4C:55:C8:9A:2B");
    EXPECT_EQ(s.ipAddress, "127.0.72.11");
    EXPECT_FALSE(s.ipDhcp);
    EXPECT_EQ(s.dns1, "10.0.0.9");
    EXPECT_EQ(s.httpPort, "80");
    const auto statuses = page.statuses();
    EXPECT_EQ(statuses.front(), "Establishing communication via network...");
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Reading /etc/config/ftp0.conf..."),
              statuses.end());
    EXPECT_EQ(page.calls().back(), "next");
    EXPECT_EQ(page.lastProgress(), 10);
    EXPECT_FALSE(page.saw("show:RomWarning"));
}

TEST_F(ReaderTest, AbortStopsQuietlyAndALostDeviceFails) {
    start(device("127.0.72.12"));
    page.closeOnStatus = "Reading /etc/config/dialout.conf";
    EXPECT_EQ(readSettings(*wizard, page.page, nullptr), Outcome::Cancelled);
    EXPECT_EQ(page.statuses().back(), "Reading /etc/config/dialout.conf...");
    EXPECT_FALSE(page.saw("next"));

    test::RecordingPage again;
    wizard->settings().targetIp = "127.0.72.13";  // nothing there
    EXPECT_EQ(readSettings(*wizard, again.page, nullptr), Outcome::NoAnswer);
    EXPECT_EQ(again.statuses().back(), "Error during read of configuration settings!");
    EXPECT_EQ(again.calls().back(), "moves:Back");
}

TEST_F(ReaderTest, DetectionFindsTheConsoleLeftInTheEditorAndTheReaderReadsThere) {
    auto d = device("127.0.72.14");
    d.shell.serial = true;
    d.shell.consoleInEditor = true;
    d.product = "Lumetra/PellMandor";
    d.shell.files["/etc/version"] = "PellMandor\n";  // no version: the warning, and the read goes on
    start(d);
    session->setConnectionIsNetwork(false);
    ASSERT_EQ(detectSerialDevice(*wizard, page.page, nullptr, 0), Outcome::Ok);
    EXPECT_EQ(wizard->settings().serialPort, "COM2");
    EXPECT_EQ(wizard->settings().deviceKind, 1);
    EXPECT_TRUE(page.saw("status:Passing COM1..."));
    EXPECT_TRUE(page.saw("status:Checking for other program running... "));
    EXPECT_FALSE(session->serial().isOpen());

    test::RecordingPage reading;
    ASSERT_EQ(readSettings(*wizard, reading.page, nullptr), Outcome::Ok);
    EXPECT_EQ(reading.statuses().front(), "Establishing communication via serial port...");
    EXPECT_TRUE(reading.saw("show:RomWarning"));
    EXPECT_EQ(wizard->settings().ipAddress, "127.0.72.14");
}

// One chosen port that leads nowhere is the desktop wizard test's case.
TEST_F(ReaderTest, SearchOfEveryPortFindsNothing) {
    start(device("127.0.72.15"));  // no console at all
    EXPECT_NE(detectSerialDevice(*wizard, page.page, nullptr, 0), Outcome::Ok);
    EXPECT_EQ(wizard->settings().serialPort, "A device was not found on any serial port.");
    EXPECT_EQ(page.calls().back(), "next");
}

}  // namespace
}  // namespace lm
