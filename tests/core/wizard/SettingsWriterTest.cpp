// The settings writer: the files it builds for a few models against expected texts, and the worker
// against simulated devices over telnet and the serial console, with its aborts and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "core/wizard/SerialDetection.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/SettingsWriter.h"
#include "support/RecordingChannel.h"
#include "support/SimulatedDevice.h"

namespace lm::test {
namespace {

// The longest a simulated device may take to come back or to take what was sent.
constexpr Milliseconds kDeviceLimit{5000};

std::string render(const std::vector<SettingsFile>& files, const DeviceSettings& s) {
    std::string text;
    for (const auto& f : files) {
        text += "# " + f.path +
                (f.written     ? ""
                 : f.announced ? " (not written, announced)"
                               : " (not written)") +
                "\n";
        for (const auto& line : f.lines)
            text += line + "\n";
    }
    for (const bool network : {true, false}) {
        text += network ? "# moves over the network\n" : "# moves over the serial line\n";
        for (const auto& move : moveCommands(s, network))
            text += move + "\n";
    }
    return text;
}

// Three models.
DeviceSettings settingsWith(void (*fill)(DeviceSettings&)) {
    DeviceSettings s;
    fill(s);
    return s;
}
// clang-format off
const DeviceSettings kKeyFormWithDepend = settingsWith([](DeviceSettings& s) {
    s.secondGeneration = true; s.macAddress = "02:4C:55:11:9A:2B"; s.httpPort = "80"; s.modemInit = "AT&F";
    s.phoneNumber = "5551234"; s.ispUser = "joe"; s.ispPassword = "pw"; s.uploadEnabled = true;
    s.ftpHost = "ftp.example.com"; s.ftpUser = "cam"; s.ftpPassword = "secret"; s.archive = true;
    s.ftpPath = "pics/cam.jpg"; s.ftpPath2 = DeviceSettings::kNotSupported; s.useIdHtmlName = true;
    s.ipAddress = "192.168.1.50"; s.netmask = "255.255.255.0"; s.ipDhcp = false; s.hostname = "cam1";
    s.gateway = "192.168.1.1"; s.domain = "example.com"; s.dns1 = "192.168.1.1"; s.dns2 = "8.8.8.8";
    s.scheduleEvery = "2"; s.scheduleUnit = 60; s.scheduleWindow = true; s.scheduleStart = "08:00";
    s.scheduleStop = "17:30"; s.dayMon = s.dayTue = s.dayWed = s.dayThu = s.dayFri = true;
});
// DHCP with no address: the broadcast of 255.255.255.255; a window start ignored in 24-hour form.
const DeviceSettings kScriptForm = settingsWith([](DeviceSettings& s) {
    s.httpPort = "81"; s.baudRate = "57600"; s.modemInit = "ATZ"; s.connectTimeout = "90"; s.ispUser = "joe";
    s.ispPassword = "pw"; s.uploadEnabled = true; s.ftpHost = "ftp.example.com"; s.ftpUser = "cam";
    s.ftpPassword = "secret"; s.passiveMode = false; s.ftpPath = "images/cam.jpg"; s.deleteBeforeRename = true;
    s.iisWorkaround = true; s.scheduleStart = "05:00"; s.everyDay = true;
});
// An upload script with no path or account only connects; "3 " hours.
const DeviceSettings kDialOutAlwaysUp = settingsWith([](DeviceSettings& s) {
    s.httpPort = "8080"; s.baudRate = "115200"; s.modemInit = "ATE1Q0V1&B1"; s.phoneNumber = "5551234";
    s.ispUser = "joe"; s.ispPassword = "pw"; s.ispName = "AT&T"; s.alwaysUp = s.sendCr = true;
    s.shellLogin = false; s.primaryIsNetwork = false; s.disableEthernet = true; s.ipAddress = "10.1.2.3";
    s.netmask = "255.0.0.0"; s.hostname = "cam2"; s.scheduleEvery = "3 "; s.scheduleUnit = 3600;
    s.daySun = s.daySat = true;
});
// clang-format on

TEST(SettingsFiles, ExactTextsForModels) {
    const struct {
        const char* expected;
        DeviceSettings settings;
        WriteForms forms;
    } cases[] = {{"key_form_with_depend.txt", kKeyFormWithDepend, {true, true}},
                 {"script_form_1_0_5.txt", kScriptForm, {false, false}},
                 {"dial_out_always_up.txt", kDialOutAlwaysUp, {false, false}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::ifstream in(std::string(LM_TEST_DATA_DIR) + "/" + c.expected);
        ASSERT_TRUE(in);
        std::stringstream expected;
        expected << in.rdbuf();
        EXPECT_EQ(render(settingsFiles(c.settings, c.forms), c.settings), expected.str());
    }
}

// The worker against one simulated device, with fast timing.
class SettingsWriterTest : public SimulatedDeviceTest {
protected:
    std::unique_ptr<WizardSession> wizard;
    // A device of that firmware, and a session that knows the firmware as the reader left it.
    void startAt(const char* version, sim::DeviceConfig d = {}) {
        d.version = version;
        d.address = *parseIpv4("127.0.72.10");
        d.shell.rebootDelayMs = 20;
        start(d);
        wizard = std::make_unique<WizardSession>(*session);
        session->setConnectionIsNetwork(!d.shell.serial);
        wizard->settings() = settings;
        // It keeps its address, so the reboot brings it back where it was.
        wizard->settings().targetIp = wizard->settings().ipAddress = "127.0.72.10";
        wizard->settings().serialPort = "COM1";
        FirmwareVersion firmware;
        std::sscanf(version, "%d.%d.%d", &firmware.major, &firmware.minor, &firmware.patch);
        session->setFirmware(firmware);
    }
    Outcome write(RecordingPage& page, const WriteOptions& options = {}) {
        return writeSettings(*wizard, page.page, nullptr, options);
    }
    // The device took the command; the last one before a link closes may still be on its way.
    bool sent(const std::string& command, Milliseconds wait = Milliseconds(0)) const {
        const Deadline deadline(wait);
        do {
            for (const auto& c : simulator->commands(0))
                if (c.starts_with(command)) return true;
            std::this_thread::sleep_for(Milliseconds(1));
        } while (!deadline.expired());
        return false;
    }
    // The device has acted on the reboot the run ended with, and is back. The writer does not wait
    // for the device to act on its last command, and a loaded machine may run that command late:
    // until then the device still counts as up.
    bool backAfterReboot(uint64_t rebootsBefore) const {
        const Deadline deadline(kDeviceLimit);
        while (simulator->counters(0).reboots == rebootsBefore) {
            if (deadline.expired()) return false;
            std::this_thread::sleep_for(Milliseconds(1));
        }
        return simulator->waitUntilUp(0, kDeviceLimit);
    }
    // Every file the run moved holds exactly its planned lines after the reboot; the editor saves
    // a file without lines as one blank line.
    void expectConfigAsPlanned(bool editor) {
        ASSERT_TRUE(backAfterReboot(0));  // a device started for the run, which reboots it once
        const auto moves = moveCommands(wizard->settings(), session->connectionIsNetwork());
        for (const auto& f :
             settingsFiles(wizard->settings(), {wizard->newFtpFormat(), wizard->configDependSupported()})) {
            if (std::find(moves.begin(), moves.end(), "mv " + f.path + " /etc/config/") == moves.end())
                continue;
            std::string text;
            for (const auto& line : f.lines)
                text += line + "\n";
            if (text.empty() && editor) text = "\n";
            EXPECT_EQ(simulator->fileText(0, "/etc/config/" + f.path.substr(9)), text) << f.path;
        }
    }

    DeviceSettings settings = kKeyFormWithDepend;
};

// The firmware chooses the editor or cat, the upload form and the flash command. A dial-out run's
// resolv.conf move finds nothing to move, and that is no failure. The console starts inside the
// editor, as an earlier failed run leaves it.
TEST_F(SettingsWriterTest, WritesMovesSavesAndReboots) {
    const struct {
        const char* version;
        const char* prompt;
        bool serial, depend, networkPrimary;
        const char *tool, *save;
    } cases[] = {{"1.0.5", "> ", false, false, true, "vi", "killall -USR1 flatfsd"},
                 {"1.0.12", "> ", false, false, true, "cat", "killall -USR1 flatfsd"},
                 {"2.0.0", "# ", false, true, false, "cat", "config save"},
                 {"1.0.5", "> ", true, false, true, "vi", "killall -USR1 flatfsd"},
                 {"1.0.12", "> ", true, false, true, "cat", "killall -USR1 flatfsd"},
                 {"2.0.0", "# ", true, false, true, "cat", "killall -USR1 flatfsd"}};
    // No name servers: resolv.conf is a blank line, which the editor must save as well.
    settings.domain = settings.dns1 = settings.dns2 = "";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.serial ? " serial" : " telnet"));
        settings.primaryIsNetwork = c.networkPrimary;
        sim::DeviceConfig d;
        d.shell.prompt = c.prompt;
        d.shell.configDepend = c.depend;
        d.shell.serial = d.shell.consoleInEditor = c.serial;
        startAt(c.version, d);
        RecordingPage page;
        EXPECT_EQ(write(page), Outcome::Ok);
        const auto calls = page.calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(std::vector(calls.end() - 3, calls.end()),
                  (std::vector<std::string>{"cancel on", "moves:Next", "next"}));
        EXPECT_TRUE(page.saw("cancel off"));
        EXPECT_EQ(page.lastProgress(), 23);
        for (const auto& w : simulator->fileWrites(0))
            EXPECT_EQ(w.tool, c.tool) << w.path;
        EXPECT_EQ(sent("config depend=ALL"), c.depend);
        EXPECT_TRUE(sent(c.save));
        expectConfigAsPlanned(c.tool == std::string("vi"));
    }
}

TEST_F(SettingsWriterTest, AbortStopsAtItsStageWithoutQuit) {
    const struct {
        const char* status;
        bool moved, saved, rebooted;
    } cases[] = {{"Writing /var/tmp/ifcfg-eth0", false, false, false},
                 {"Updating flash memory...", true, true, false},
                 {"Rebooting the device...", true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        RecordingPage page;
        page.closeOnStatus = c.status;
        startAt("2.0.0");
        EXPECT_EQ(write(page), Outcome::Cancelled);
        EXPECT_TRUE(page.calls().back().starts_with(std::string("status:") + c.status));
        EXPECT_EQ(sent("mv "), c.moved);
        EXPECT_EQ(sent("killall -USR1 flatfsd"), c.saved);
        EXPECT_EQ(sent("reboot", c.rebooted ? kDeviceLimit : Milliseconds(0)), c.rebooted);
        EXPECT_FALSE(sent("quit"));
    }
}

TEST_F(SettingsWriterTest, FailuresStopBeforeTheirEffects) {
    const std::string refusal = "mv: can't rename '/var/tmp/network': Read-only file system";
    const struct {
        std::string command, answer, reason;
        bool moved;
    } cases[] = {{"cat /var/tmp/ifcfg-eth0", "DEVICE=eth0\n",
                  "the file /var/tmp/ifcfg-eth0 did not read back as written", false},
                 {"mv /var/tmp/network /etc/config/", refusal + "\n", refusal, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        sim::DeviceConfig d;
        d.shell.outputs = {{c.command, c.answer}};
        startAt("2.0.0", d);
        RecordingPage page;
        EXPECT_EQ(write(page), Outcome::Failed);
        const auto statuses = page.statuses();
        ASSERT_GE(statuses.size(), 2u);
        EXPECT_EQ(std::vector(statuses.end() - 2, statuses.end()),
                  (std::vector<std::string>{c.reason, "Error during update of device configuration files!"}));
        EXPECT_EQ(page.calls().back(), "moves:Back");
        EXPECT_EQ(sent("mv "), c.moved);
        EXPECT_FALSE(sent("killall"));
        EXPECT_TRUE(sent("quit", kDeviceLimit));
    }
}

// A value read from a hostile device, and a file the device's shell cannot create: nothing of the
// file reaches the device, nothing is moved, and the reason names the field or the shell's words.
TEST_F(SettingsWriterTest, WritesNothingThatWouldRunOnTheDevice) {
    const struct {
        const char* hostname;
        const char* blocked;
        std::string reason;
    } cases[] = {
        {"cam;reboot", "",
         "Not written: hostname holds \";\", which would end the value and start a command in network."},
        {"cam", "/var/tmp/ifcfg-eth0/keep",
         "the device could not create /var/tmp/ifcfg-eth0: sh: can't create /var/tmp/ifcfg-eth0: Is a "
         "directory"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        settings.hostname = c.hostname;
        sim::DeviceConfig d;
        if (*c.blocked) d.shell.files[c.blocked] = "";
        startAt("2.0.0", d);
        RecordingPage page;
        EXPECT_EQ(write(page), Outcome::Failed);
        const auto statuses = page.statuses();
        ASSERT_GE(statuses.size(), 2u);
        EXPECT_EQ(statuses[statuses.size() - 2], c.reason);
        // A value is refused before the device is reached; a file the shell cannot take, at that file.
        EXPECT_EQ(simulator->commands(0).empty(), !*c.blocked);
        EXPECT_FALSE(sent("DEVICE=eth0"));
        EXPECT_FALSE(sent("mv "));
        EXPECT_FALSE(sent("reboot"));
        for (const auto& w : simulator->fileWrites(0))
            EXPECT_NE(w.path, "/var/tmp/ifcfg-eth0");
    }
}

TEST_F(SettingsWriterTest, RefusedLoginCancelsTheSheet) {
    sim::DeviceConfig d;
    d.shell.faults.refusePassword = true;
    startAt("2.0.0", d);
    RecordingPage page;
    EXPECT_EQ(write(page), Outcome::Refused);
    EXPECT_EQ(page.calls(), (std::vector<std::string>{"range:0-24", "cancel"}));
}

// From 1.0.6 on the upload file takes the key form.
TEST_F(SettingsWriterTest, DryRunPlansWithoutWriting) {
    startAt("1.0.6");
    RecordingPage page;
    std::vector<SettingsFile> planned;
    EXPECT_EQ(write(page, {.dryRun = true, .planned = [&](const auto& files) { planned = files; }}),
              Outcome::Ok);
    ASSERT_EQ(planned.size(), 12u);
    EXPECT_EQ(planned[5].lines.front(), "timeout=300");
    EXPECT_TRUE(simulator->fileWrites(0).empty());
    EXPECT_FALSE(sent("date") || sent("mv ") || sent("reboot"));
}

// A device far from factory settings: uploading, dialling out on a US Robotics modem with Ethernet
// off, a key list without a secondary path, a boa.conf with lines of its own and no final line end.
const std::map<std::string, std::string> kNonFactoryFiles{
    {"/etc/config/boa.conf", "User nobody\nPort 8080\nGroup nogroup"},
    {"/etc/config/dialout.conf",
     "DEVICE=/dev/ttyS0\nDEVICE_SPEED=57600\nMODEM_INIT=ATE1Q0V1&B1\nPHONE_NUMBER=5551234\n"
     "CONNECT_TIMEOUT=120\nUSERNAME=joe\nPASSWORD=pw\nISP=AT&T\nALWAYS_UP=no\nDEFAULT_ROUTE=yes\n"
     "ENABLED=yes\nSHELL_LOGIN=no\nSEND_CR=yes\n"},
    {"/etc/config/ftp0.conf",
     "timeout=120\nhostname=ftp.example.com\nuser=cam\npassword=secret\npassive=on\narchive=on\n"
     "delete_file=off\niis_bug=off\nfilename=pics/cam.jpg\nfilename3=pics/ip9A2B.html\n"},
    {"/etc/config/ifcfg-eth0",
     "DEVICE=eth0\nONBOOT=no\nBOOTPROTO=none\nIPADDR=127.0.72.10\nBROADCAST=127.0.72.255\n"
     "NETMASK=255.255.255.0\n"},
    {"/etc/config/sched0.conf",
     "sched_ftp_command=ftpscript0\nsched_ftp_command_wait=20\nsched_ftp_upload=on\nsched_ftp_delay=120\n"
     "sched_ftp_time_start=08:00\nsched_ftp_time_stop=17:30\nsched_ftp_day_sun=off\nsched_ftp_day_mon=on\n"
     "sched_ftp_day_tue=on\nsched_ftp_day_wed=on\nsched_ftp_day_thu=on\nsched_ftp_day_fri=on\n"
     "sched_ftp_day_sat=off\n"},
};

// After one apply, reading the device and applying what was read leaves every file byte for byte
// as it was, and the device still uploads and still dials out on its modem.
TEST_F(SettingsWriterTest, ReadThenWriteOfANonFactoryDeviceChangesNothing) {
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "console" : "telnet");
        sim::DeviceConfig d;
        d.mac = *sim::parseMac("02:4C:55:11:9A:2B");
        d.shell.serial = serial;
        for (const auto& [path, text] : kNonFactoryFiles)
            d.shell.files[path] = text;
        startAt("4.2.1", d);
        const auto applyWhatIsRead = [&] {
            wizard->settings() = {};
            wizard->settings().targetIp = "127.0.72.10";
            wizard->settings().serialPort = "COM1";
            RecordingPage reading, writing;
            // The console is found and logged in to first, as the wizard's serial page does.
            if (serial) {
                ASSERT_EQ(detectSerialDevice(*wizard, reading.page, nullptr, 1), Outcome::Ok);
            }
            ASSERT_EQ(readSettings(*wizard, reading.page, nullptr), Outcome::Ok);
            const uint64_t reboots = simulator->counters(0).reboots;
            ASSERT_EQ(write(writing), Outcome::Ok);
            ASSERT_TRUE(backAfterReboot(reboots));
        };
        const auto configFiles = [&] {
            std::map<std::string, std::string> files;
            for (const char* name : {"boa.conf", "dialout.conf", "ftp0.conf", "ifcfg-eth0", "ifcfg-ppp0",
                                     "network", "resolv.conf", "sched0.conf"})
                files[name] = simulator->fileText(0, std::string("/etc/config/") + name).value_or("(none)");
            return files;
        };
        applyWhatIsRead();
        const auto afterOne = configFiles();
        EXPECT_EQ(afterOne.at("boa.conf"), "User nobody\nPort 8080\nGroup nogroup\n");
        EXPECT_NE(afterOne.at("ftp0.conf").find("filename=pics/cam.jpg\n"), std::string::npos);
        EXPECT_NE(afterOne.at("ftp0.conf").find("filename3=pics/ip9A2B.html\n"), std::string::npos);
        EXPECT_NE(afterOne.at("sched0.conf").find("sched_ftp_upload=on\n"), std::string::npos);
        EXPECT_NE(afterOne.at("dialout.conf").find("ENABLED=yes\n"), std::string::npos);
        EXPECT_NE(afterOne.at("ifcfg-eth0").find("ONBOOT=no\n"), std::string::npos);

        applyWhatIsRead();
        EXPECT_EQ(configFiles(), afterOne);
        const DeviceSettings& s = wizard->settings();
        EXPECT_TRUE(s.uploadEnabled);
        EXPECT_FALSE(s.primaryIsNetwork);
        EXPECT_EQ(s.modemModel, ModemModel::UsRobotics);
    }
}

}  // namespace
}  // namespace lm::test
