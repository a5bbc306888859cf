// The settings writer: the files it builds for a few models against expected texts, and the worker
// against simulated devices over telnet and the serial console, with its aborts and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "RecordingPage.h"
#include "Simulator.h"
#include "wizard/SettingsWriter.h"

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
            text += move;
    }
    return text;
}

DeviceSettings keyFormWithDepend() {
    DeviceSettings s;
    s.secondGeneration = true;
    s.httpPort = "80";
    s.modemInit = "AT&F";
    s.phoneNumber = "5551234";
    s.ispUser = "joe";
    s.ispPassword = "pw";
    s.uploadEnabled = true;
    s.ftpHost = "ftp.example.com";
    s.ftpUser = "cam";
    s.ftpPassword = "secret";
    s.archive = true;
    s.ftpPath = "pics/cam.jpg";
    s.ftpPath2 = DeviceSettings::kNotSupported;
    s.useIdHtmlName = true;
    s.macAddress = "02:4C:55:11:9A:2B";
    s.ipDhcp = false;
    s.ipAddress = "192.168.1.50";
    s.netmask = "255.255.255.0";
    s.hostname = "cam1";
    s.gateway = "192.168.1.1";
    s.domain = "example.com";
    s.dns1 = "192.168.1.1";
    s.dns2 = "8.8.8.8";
    s.scheduleEvery = "2";
    s.scheduleUnit = 60;
    s.scheduleWindow = true;
    s.scheduleStart = "08:00";
    s.scheduleStop = "17:30";
    s.dayMon = s.dayTue = s.dayWed = s.dayThu = s.dayFri = true;
    return s;
}

DeviceSettings scriptForm() {
    DeviceSettings s;
    s.httpPort = "81";
    s.baudRate = "57600";
    s.modemInit = "ATZ";
    s.connectTimeout = "90";
    s.ispUser = "joe";
    s.ispPassword = "pw";
    s.uploadEnabled = true;
    s.ftpHost = "ftp.example.com";
    s.ftpUser = "cam";
    s.ftpPassword = "secret";
    s.passiveMode = false;
    s.ftpPath = "images/cam.jpg";
    s.deleteBeforeRename = s.iisWorkaround = true;
    s.scheduleStart = "05:00";  // outside the window's form: 24 hours a day
    s.everyDay = true;
    return s;
}

DeviceSettings dialOutAlwaysUp() {
    DeviceSettings s;
    s.httpPort = "8080";
    s.primaryIsNetwork = false;
    s.alwaysUp = s.disableEthernet = s.sendCr = true;
    s.shellLogin = false;
    s.baudRate = "115200";
    s.modemInit = "ATE1Q0V1&B1";
    s.phoneNumber = "5551234";
    s.ispUser = "joe";
    s.ispPassword = "pw";
    s.ispName = "AT&T";
    s.passiveMode = false;
    s.deleteBeforeRename = true;
    s.ftpPath = "cam.jpg";
    s.ftpPath2 = "second/cam.jpg";
    s.useIdHtmlName = true;  // with no MAC read: no ID to add
    s.ipAddress = "10.1.2.3";
    s.netmask = "255.0.0.0";
    s.hostname = "cam2";
    s.scheduleEvery = "3 ";
    s.scheduleUnit = 3600;
    s.daySun = s.daySat = true;
    return s;
}

TEST(SettingsFiles, ExactTextsForModels) {
    const struct {
        const char* expected;
        DeviceSettings settings;
        WriteForms forms;
    } cases[] = {{"key_form_with_depend.txt", keyFormWithDepend(), {true, true}},
                 {"script_form_1_0_5.txt", scriptForm(), {false, false}},
                 {"dial_out_always_up.txt", dialOutAlwaysUp(), {true, false}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::ifstream in(std::string(LM_TEST_DATA_DIR) + "/" + c.expected);
        ASSERT_TRUE(in);
        std::stringstream expected;
        expected << in.rdbuf();
        EXPECT_EQ(render(settingsFiles(c.settings, c.forms), c.settings), expected.str());
    }
}

TEST(SettingsFiles, ScriptWithoutPathOrAccountOnlyConnects) {
    DeviceSettings s;
    s.ftpTimeout = "60";
    const auto files = settingsFiles(s, {false, false});
    const std::vector<std::string> script{"timeout 60", "binary", "passive", "quit"};
    EXPECT_EQ(files[5].path, "/var/tmp/ftp.conf");
    EXPECT_EQ(files[5].lines, script);
}

// The worker against one simulated device, with fast timing.
class SettingsWriterTest : public testing::Test {
protected:
    // A device of that firmware, and a session that knows the firmware as the reader left it.
    void startAt(const char* version, sim::DeviceConfig d = {}) {
        session.reset();
        simulator.reset();
        d.version = version;
        d.mac = *sim::parseMac("02:4C:55:C8:00:41");
        d.address = *parseIpv4("127.0.72.10");
        d.shell.rebootDelayMs = 20;
        sim::SimulatorConfig config;
        config.devices = {std::move(d)};
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        NetworkProfile profile;
        profile.telnetPort = simulator->telnetPort();
        SerialPortMap ports = SerialPortMap::standard();
        if (simulator->devices()[0].shell.serial) ports.set(1, simulator->serialPath(0));
        session = std::make_unique<Session>(profile, Timing::fast(), ports);
        session->settings() = settings;
        session->settings().targetIp = "127.0.72.10";
        session->settings().serialPort = "COM1";
        FirmwareVersion firmware;
        std::sscanf(version, "%d.%d.%d", &firmware.major, &firmware.minor, &firmware.patch);
        session->setFirmware(firmware);
    }

    bool sent(const std::string& command) const {
        for (const auto& c : simulator->commands(0))
            if (c.starts_with(command)) return true;
        return false;
    }
    bool sentWithin(const std::string& command, Milliseconds limit) const {
        const Deadline deadline(limit);
        while (!sent(command) && !deadline.expired())
            std::this_thread::sleep_for(Milliseconds(1));
        return sent(command);
    }
    // Every file the run moved holds exactly its planned lines, after the reboot.
    void expectConfigAsPlanned(bool network) {
        ASSERT_TRUE(simulator->waitUntilUp(0, kDeviceLimit));
        const DeviceSettings& s = session->settings();
        for (const auto& f : settingsFiles(s, {session->newFtpFormat(), session->configDependSupported()})) {
            const std::string move = "mv " + f.path + " /etc/config/\n";
            const auto moves = moveCommands(s, network);
            if (!f.written || std::find(moves.begin(), moves.end(), move) == moves.end()) continue;
            std::string text;
            for (const auto& line : f.lines)
                text += line + "\n";
            EXPECT_EQ(simulator->fileText(0, "/etc/config/" + f.path.substr(9)), text) << f.path;
        }
    }
    static std::vector<std::string> lastCalls(const RecordingPage& page, std::size_t count) {
        const auto calls = page.calls();
        return {calls.end() - static_cast<std::ptrdiff_t>(std::min(count, calls.size())), calls.end()};
    }

    DeviceSettings settings = keyFormWithDepend();
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
};

// The firmware chooses the editor or cat, the upload form and the flash command; a dial-out run's
// resolv.conf move finds nothing to move and that is no failure.
TEST_F(SettingsWriterTest, WritesMovesSavesAndRebootsOverTelnet) {
    const struct {
        const char* version;
        const char* prompt;
        bool depend;
        bool networkPrimary;
        const char* tool;
        const char* save;
    } cases[] = {{"1.0.5", "> ", false, true, "vi", "killall -USR1 flatfsd"},
                 {"1.0.12", "> ", false, true, "cat", "killall -USR1 flatfsd"},
                 {"2.0.0", "# ", true, false, "cat", "config save"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        settings.primaryIsNetwork = c.networkPrimary;
        sim::DeviceConfig d;
        d.shell.prompt = c.prompt;
        d.shell.configDepend = c.depend;
        startAt(c.version, d);
        RecordingPage page;
        EXPECT_EQ(writeSettings(*session, page.page, nullptr), Outcome::Ok);
        EXPECT_EQ(lastCalls(page, 3), (std::vector<std::string>{"cancel on", "buttons: 2", "next"}));
        EXPECT_TRUE(page.saw("cancel off"));
        EXPECT_EQ(page.lastProgress(), 23);
        for (const auto& w : simulator->fileWrites(0))
            EXPECT_EQ(w.tool, c.tool) << w.path;
        EXPECT_EQ(sent("config depend=ALL"), c.depend);
        EXPECT_TRUE(sent(c.save));
        EXPECT_TRUE(sent("reboot"));
        expectConfigAsPlanned(true);
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
        RecordingPage stopping;
        stopping.abortOnStatus = c.status;
        startAt("2.0.0");
        EXPECT_EQ(writeSettings(*session, stopping.page, nullptr), Outcome::Cancelled);
        EXPECT_TRUE(stopping.calls().back().starts_with(std::string("status: ") + c.status));
        EXPECT_EQ(sent("mv "), c.moved);
        EXPECT_EQ(sent("killall -USR1 flatfsd"), c.saved);
        // The reboot is the last thing sent before the link closes; the device may still be reading it.
        EXPECT_EQ(c.rebooted ? sentWithin("reboot", kDeviceLimit) : sent("reboot"), c.rebooted);
        EXPECT_FALSE(sent("quit"));
    }
}

TEST_F(SettingsWriterTest, FailuresStopBeforeTheirEffects) {
    const struct {
        const char* name;
        std::map<std::string, std::string> outputs;
        std::string reason;
        bool moved;
    } cases[] = {
        {"read back differs",
         {{"cat /var/tmp/ifcfg-eth0", "DEVICE=eth0\n"}},
         "the file /var/tmp/ifcfg-eth0 did not read back as written",
         false},
        {"move refused",
         {{"mv /var/tmp/network /etc/config/",
           "mv: can't rename '/var/tmp/network': Read-only file system\n"}},
         "mv: can't rename '/var/tmp/network': Read-only file system",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPage failing;
        sim::DeviceConfig d;
        d.shell.outputs = c.outputs;
        startAt("2.0.0", d);
        EXPECT_EQ(writeSettings(*session, failing.page, nullptr), Outcome::Failed);
        const auto statuses = failing.statuses();
        ASSERT_GE(statuses.size(), 2u);
        EXPECT_EQ(statuses[statuses.size() - 2], c.reason);
        EXPECT_EQ(statuses.back(), "Error during update of device configuration files!");
        EXPECT_EQ(failing.calls().back(), "buttons: 1");
        EXPECT_EQ(sent("mv "), c.moved);
        EXPECT_FALSE(sent("killall"));
        EXPECT_TRUE(sent("quit"));
    }
}

TEST_F(SettingsWriterTest, RefusedLoginCancelsTheSheet) {
    sim::DeviceConfig d;
    d.shell.faults.refusePassword = true;
    startAt("2.0.0", d);
    RecordingPage page;
    EXPECT_EQ(writeSettings(*session, page.page, nullptr), Outcome::Cancelled);
    EXPECT_EQ(page.calls(), std::vector<std::string>{"cancel"});
}

TEST_F(SettingsWriterTest, DryRunPlansWithoutWriting) {
    startAt("2.0.0");
    RecordingPage page;
    std::vector<SettingsFile> planned;
    WriteOptions options;
    options.dryRun = true;
    options.planned = [&](const std::vector<SettingsFile>& files) { planned = files; };
    EXPECT_EQ(writeSettings(*session, page.page, nullptr, options), Outcome::Ok);
    EXPECT_EQ(planned.size(), 12u);
    EXPECT_TRUE(simulator->fileWrites(0).empty());
    EXPECT_FALSE(sent("date") || sent("mv ") || sent("reboot"));
}

// The console left inside the editor by an earlier run is brought back to its shell first; the
// older firmware writes with the editor, the newer one (a root shell) with cat.
TEST_F(SettingsWriterTest, SerialConsoleInEditorRecoversAndWrites) {
    const struct {
        const char* version;
        const char* prompt;
        const char* tool;
    } cases[] = {{"1.0.5", "> ", "vi"}, {"2.0.0", "# ", "cat"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        sim::DeviceConfig d;
        d.shell.serial = d.shell.consoleInEditor = true;
        d.shell.prompt = c.prompt;
        startAt(c.version, d);
        session->setConnectionIsNetwork(false);
        RecordingPage page;
        EXPECT_EQ(writeSettings(*session, page.page, nullptr), Outcome::Ok);
        EXPECT_EQ(page.calls().back(), "next");
        EXPECT_EQ(simulator->fileWrites(0).back().tool, c.tool);
        expectConfigAsPlanned(false);
    }
}

}  // namespace
}  // namespace lm::test
