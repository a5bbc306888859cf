// The operation workers: the frame (the checks before the login, the login with one retry and its
// failures, the wait for a scan, a window that closes while its worker runs), then reboot, erase and
// the firmware upgrade against simulated devices, and the erase sequence and the flash tool's side of
// the transfer scripted where the exact bytes matter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/link/Session.h"
#include "core/ops/FirmwareUpgrade.h"
#include "core/ops/MaintenanceOperations.h"
#include "devsim/Simulator.h"
#include "devsim/TftpClient.h"
#include "support/LoopbackPeer.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedPrompt.h"
#include "support/TftpPackets.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;
using Connection = test::Conversation;
using test::acknowledgement;
using test::readRequest;

// A session, a recording window and the shared state, pointed at a simulated device, a scripted
// telnet peer or a silent port.
class OperationFixture : public testing::Test {
protected:
    void TearDown() override {
        // A worker left running would outlive the session it uses.
        ASSERT_TRUE(waitUntilStopped());
    }

    void startDevice(sim::DeviceConfig device) {
        device.mac = *sim::parseMac("02:4C:55:C8:00:31");
        address = dotted(device.address);
        sim::SimulatorConfig config;
        config.devices = {std::move(device)};
        config.tftpPort = tftpPort;
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        useTelnetPort(simulator->telnetPort(), deviceTiming);
    }
    static sim::DeviceConfig device(const char* at) {
        sim::DeviceConfig d;
        d.address = *parseIpv4(at);
        return d;
    }
    void useTelnetPort(uint16_t port, Timing timing = Timing::fast()) {
        NetworkProfile profile;
        profile.telnetPort = port;
        profile.tftpPort = tftpPort;
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.1/255.0.0.0");
        profile.echoSettingPath = echoSetting;
        session = std::make_unique<Session>(profile, timing);
    }

    // The window as the user left it: address and password typed.
    void window(const std::string& typedPassword, std::optional<std::string> typedAddress = std::nullopt) {
        ui = std::make_shared<RecordingChannel>();
        login = {typedAddress.value_or(address), typedPassword};
    }
    WorkerTask task() { return WorkerTask(*session, ui, state, &prompt, address, &scanInProgress); }
    OperationResult runReboot() {
        auto t = task();
        return rebootWorker(t, {login});
    }
    OperationResult runErase() {
        Calls commandsWhenAsked;
        return runErase(true, commandsWhenAsked);
    }
    // The commands the device had taken when the worker asked whether to reboot.
    OperationResult runErase(bool rebootAfterwards, Calls& commandsWhenAsked) {
        auto t = task();
        return eraseWorker(t, {login, [&] {
                                   commandsWhenAsked = commands();
                                   return rebootAfterwards;
                               }});
    }
    // Starts the reboot on its own thread as the window's start button does.
    void startReboot() {
        WorkerTask::start(state, [this] {
            auto t = task();
            rebootWorker(t, {login});
        });
    }
    bool waitUntilStopped() {
        const Deadline deadline(Milliseconds(10000));
        while (state->running && !deadline.expired())
            std::this_thread::sleep_for(Milliseconds(1));
        return !state->running;
    }
    std::vector<std::string> commands() const { return simulator->commands(0); }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    std::string address = "127.0.0.1";
    std::shared_ptr<RecordingChannel> ui;
    DeviceLogin login;
    std::shared_ptr<OperationState> state = std::make_shared<OperationState>();
    ScriptedPrompt prompt;
    std::atomic<bool> scanInProgress{false};
    Timing deviceTiming = Timing::fast();
    uint16_t tftpPort = freeUdpPort();
    std::string echoSetting = testing::TempDir() + "echo-setting-" + std::to_string(::getpid());
};

class WorkerTaskTest : public OperationFixture {};

NetworkProfile telnetAt(uint16_t port) {
    NetworkProfile profile;
    profile.telnetPort = port;
    return profile;
}

TEST_F(WorkerTaskTest, BlankAddressOrPasswordFailsBeforeConnecting) {
    const Calls noAddress = {"beep", "status:You must specify the IP address.", "start:on"};
    const struct {
        const char* address;
        const char* password;
        Calls calls;
    } cases[] = {
        {"", "vorna", noAddress},
        {"0.0.0.0", "vorna", noAddress},
        {"127.0.0.1", "", {"beep", "status:You must specify the administrator password.", "start:on"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " / " + c.password);
        LoopbackPeer device;
        useTelnetPort(device.port());
        window(c.password, c.address);
        session->setPassword("typed earlier");
        runReboot();
        EXPECT_EQ(ui->calls(), c.calls);
        EXPECT_EQ(device.taken(), 0);
        EXPECT_EQ(session->password(), "vorna");
    }
}

TEST_F(WorkerTaskTest, PromptCancelledTwiceAsksForTheCorrectPassword) {
    auto d = device("127.0.72.12");
    d.shell.faults.refusePassword = true;
    startDevice(d);
    window("vorna");
    runReboot();
    EXPECT_EQ(prompt.asked, 2u) << "once per login attempt";
    EXPECT_EQ(simulator->counters(0).refusedLogins, 2u);
    EXPECT_TRUE(commands().empty());
    const Calls calls = ui->calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(Calls(calls.end() - 3, calls.end()),
              (Calls{"beep", "status:Please enter the correct password.", "start:on"}));
    EXPECT_FALSE(session->telnet().isOpen());
    EXPECT_EQ(session->password(), "vorna");

    // The device still has the default password, but the user typed another and then cancelled.
    startDevice(device("127.0.72.13"));
    window("typo");
    prompt = ScriptedPrompt();
    runErase();
    EXPECT_EQ(prompt.asked, 2u);
    EXPECT_EQ(simulator->counters(0).logins, 0u);
    EXPECT_TRUE(commands().empty()) << "nothing may be erased with a password the user did not give";
    EXPECT_EQ(ui->calls().back(), "start:on");
}

// A device that takes the connection and never speaks: counted, two attempts. (A refused connection
// gives the same message: the CLI demo's reboot of an address nobody has.)
TEST_F(WorkerTaskTest, UnreachableDeviceIsTriedTwice) {
    LoopbackPeer silent;
    useTelnetPort(silent.port());
    window("vorna");
    runErase();
    EXPECT_EQ(silent.taken(), 2);
    EXPECT_EQ(ui->calls().back(), "start:on");
    EXPECT_TRUE(ui->called("status:This device does not respond!"));
    EXPECT_FALSE(ui->called("finish"));
}

TEST_F(WorkerTaskTest, ScanInProgressDelaysTheStart) {
    // Steps of 10 ms: the worker would wait up to 600 ms for the scan.
    Timing timing = Timing::fast();
    timing.pauseScale = 0.1;
    useTelnetPort(23, timing);
    window("vorna", "");
    scanInProgress = true;
    startReboot();
    timing.pause(Milliseconds(2000));
    ui->record("scan ended");
    scanInProgress = false;
    ASSERT_TRUE(waitUntilStopped());
    const Calls calls = ui->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "scan ended") << "the worker checked its request during the scan";
    EXPECT_EQ(calls.back(), "start:on");
}

TEST_F(WorkerTaskTest, ClosingDuringTheRebootPauseSkipsTheEnding) {
    LoopbackPeer peer([this](test::Conversation& c) {
        if (logIn(c) && c.expect("reboot\n")) state->closing = true;  // closed while the worker waits
        c.holdUntilClosed();
    });
    // The 2000 ms pause lasts 200 ms, long enough for the window to close in it.
    Timing timing = Timing::fast();
    timing.pauseScale = 0.1;
    useTelnetPort(peer.port(), timing);
    window("vorna");
    startReboot();
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_TRUE(state->closing);
    EXPECT_EQ(ui->calls(), (Calls{"status:Establishing Telnet session...", "status:Rebooting..."}));
    EXPECT_EQ(session->password(), "vorna");
    session->telnet().close();
    EXPECT_TRUE(peer.finish().empty());
    EXPECT_EQ(peer.received(), "admin\nvorna\nreboot\n");
}

// A worker left running by a closed window still holds the device: the next one waits, then says so.
TEST_F(WorkerTaskTest, SecondConversationOnTheSessionWaitsThenGivesUp) {
    LoopbackPeer device;
    useTelnetPort(device.port());
    window("vorna");
    const auto held = session->claim(Milliseconds(0));
    ASSERT_TRUE(held.held());
    EXPECT_EQ(runReboot().outcome, Outcome::Failed);
    EXPECT_TRUE(
        ui->called("status:The device link is busy with another operation. Try again when it has finished."));
    EXPECT_EQ(device.taken(), 0);
}

// A closed window is not touched; a worker that throws still clears the running mark.
TEST_F(WorkerTaskTest, ClosedWindowIsNotTouchedAndAFailedWorkerStops) {
    useTelnetPort(23);
    window("vorna");
    state->closing = true;
    auto t = task();
    EXPECT_EQ(t.ui(), nullptr);
    EXPECT_EQ(t.open(login), Outcome::Cancelled);
    t.fail("This device does not respond!", Outcome::NoAnswer);
    t.succeed("text", "title");
    EXPECT_TRUE(ui->calls().empty());
    WorkerTask::start(state, [] { throw std::runtime_error("lost"); });
    ASSERT_TRUE(waitUntilStopped());
}

const std::string kFlashw = "/bin/flashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5";
const std::string kErasedAndRebooted =
    "box:Erase Config|You have erased the config files,\nbut the device will take\na few seconds to reboot.";
const std::string kErasedOnly = "box:Erase Config|You have erased the config files.\n";

class MaintenanceOperationsTest : public OperationFixture {};

TEST_F(MaintenanceOperationsTest, EraseCommandsAndFinalMessage) {
    const struct {
        const char* name;
        bool denied;
        bool rebootAfterwards;
        Calls commands;
        std::string box;
    } cases[] = {
        {"cleared, then rebooted", false, true, {"config clear", "reboot"}, kErasedAndRebooted},
        {"cleared, no reboot asked", false, false, {"config clear"}, kErasedOnly},
        {"denied, falls back to the flash",
         true,
         true,
         {"config clear", kFlashw, "reboot"},
         kErasedAndRebooted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = device("127.0.72.22");
        d.shell.faults.configClearDenied = c.denied;
        startDevice(d);
        window("vorna");
        Calls commandsWhenAsked;
        EXPECT_EQ(runErase(c.rebootAfterwards, commandsWhenAsked).outcome, Outcome::Ok);
        EXPECT_EQ(commands(), c.commands);
        // Asked once the erase is done, not when the user pressed Proceed.
        Calls erased = c.commands;
        if (c.rebootAfterwards) erased.pop_back();
        EXPECT_EQ(commandsWhenAsked, erased);
        Calls expected = {"status:Establishing Telnet session...", "status:Erasing config files..."};
        if (c.rebootAfterwards) expected.push_back("status:Rebooting...");
        expected.push_back(c.box);
        expected.push_back("finish");
        EXPECT_EQ(ui->calls(), expected);
        EXPECT_EQ(session->password(), "vorna");
    }
}

TEST(EraseSequence, FallsBackToTheFlashUnlessCleared) {
    const struct {
        const char* name;
        std::string answer;  // to "config clear"; empty: silence
        bool fallback;
        std::string flashAnswer;  // to the flash tool
        Outcome outcome;
    } cases[] = {
        {"cleared", "config clear\r\nConfiguration cleared\r\n> ", false, "", Outcome::Ok},
        // The fallback waits until the denial and what follows it are drained.
        {"permission denied",
         "config clear\r\nconfig: Permission denied\r\n" + std::string(3000, 'x') + "\r\n> ", true, "\r\n> ",
         Outcome::Ok},
        {"silence", "", true, "\r\n> ", Outcome::Ok},
        // Nothing confirmed the erase: it failed, whatever the fallback was given to do.
        {"flash tool refused", "config: Permission denied\r\n> ", true, "\r\nflashw: Permission denied\r\n> ",
         Outcome::Refused},
        {"flash tool missing", "config: Permission denied\r\n> ", true,
         "\r\nsh: /bin/flashw: not found\r\n> ", Outcome::Refused},
        {"flash tool silent", "config: Permission denied\r\n> ", true, "", Outcome::NoAnswer},
    };
    const Timing timing = Timing::fast();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer([&](Connection& conn) {
            if (!logIn(conn) || !conn.expect("config clear\n")) return;
            if (c.answer.empty()) {
                // Forty turns (ten ticks each) of silence come first: nothing may be sent before they are
                // over.
                if (!conn.quiet(timing.tick * 10 * 38)) conn.fail("sent during the silence");
            } else {
                conn.send(c.answer);
            }
            if (c.fallback && conn.expect(kFlashw + "\n")) conn.send(c.flashAnswer);
            conn.holdUntilClosed();
        });
        Session session(telnetAt(peer.port()), timing);
        ASSERT_EQ(session.loginNetwork("127.0.0.1", false, nullptr), LoginOk);
        DeviceSession device(session);
        EXPECT_EQ(eraseConfigSequence(device), c.outcome);
        session.telnet().close();
        EXPECT_EQ(peer.finish(), std::vector<std::string>{});
        EXPECT_EQ(peer.received(), "admin\nvorna\nconfig clear\n" + (c.fallback ? kFlashw + "\n" : ""));
    }
}

// A confirmed erase still has its tool writing the flash: the link is not let go before the prompt.
TEST(EraseSequence, ConfirmedEraseWaitsForThePrompt) {
    const Timing timing = Timing::fast();
    for (const bool promptComes : {true, false}) {
        SCOPED_TRACE(promptComes ? "prompt after a while" : "no prompt");
        std::atomic<bool> promptSent{false};
        LoopbackPeer peer([&](Connection& conn) {
            if (!logIn(conn) || !conn.expect("config clear\n")) return;
            conn.send("config clear\r\nConfiguration cleared\r\n");
            if (!conn.quiet(timing.tick * 10 * 4)) conn.fail("sent while the tool writes");
            if (promptComes) {
                promptSent = true;
                conn.send("> ");
            }
            conn.holdUntilClosed();
        });
        Session session(telnetAt(peer.port()), timing);
        ASSERT_EQ(session.loginNetwork("127.0.0.1", false, nullptr), LoginOk);
        DeviceSession device(session);
        EXPECT_EQ(eraseConfigSequence(device), promptComes ? Outcome::Ok : Outcome::NoAnswer);
        EXPECT_EQ(promptSent.load(), promptComes) << "the erase ended before the device's prompt";
        session.telnet().close();
        EXPECT_EQ(peer.finish(), std::vector<std::string>{});
    }
}

// A refused erase or reboot is a failure in the device's words: no final message, the button back.
TEST_F(MaintenanceOperationsTest, RefusedOperationFailsWithTheDevicesWords) {
    const struct {
        bool erase;
        std::vector<std::pair<std::string, std::string>> exchanges;  // what the device reads, its answer
        std::string words;
        std::string status;
    } cases[] = {
        {true,
         {{"config clear\n", "config: Permission denied\r\n> "},
          {kFlashw + "\n", "\r\nflashw: Permission denied\r\n> "}},
         "flashw: Permission denied",
         "Erase refused by the device: flashw: Permission denied"},
        {false,
         {{"reboot\n", "reboot: Permission denied\r\n> "}},
         "reboot: Permission denied",
         "Reboot refused by the device: reboot: Permission denied"},
    };
    for (const auto& c : cases) {
        LoopbackPeer peer([&c](Connection& conn) {
            for (bool ok = logIn(conn); const auto& [line, answer] : c.exchanges)
                ok = ok && conn.expect(line) && conn.send(answer);
            conn.holdUntilClosed();
        });
        Timing timing = Timing::fast();
        timing.pauseScale = 0.1;  // the reboot's pause, in which the refusal comes
        useTelnetPort(peer.port(), timing);
        window("vorna");
        const OperationResult result = c.erase ? runErase() : runReboot();
        EXPECT_EQ(result.outcome, Outcome::Refused);
        EXPECT_EQ(result.deviceWords, c.words);
        session->telnet().close();
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(ui->calls().back(), "start:on");
        EXPECT_TRUE(ui->called("status:" + c.status)) << c.status;
        EXPECT_FALSE(ui->called("finish"));
    }
}

const std::string kNetflash = "/bin/netflash -r /dev/rom4 127.0.0.1 bootimage.bin";
const std::string kSaveTar = "tar -c /etc/config/ifcfg-eth0 /etc/config/network | gzip -c > /tmp/save.tgz";
const std::string kSaveFlashw = "flashw -f /tmp/save.tgz /dev/flash/save";
const std::string kUpgradeError = "box:ROM Upgrade error|";
constexpr const char* kToolAt = "127.0.72.32";  // a device whose flash tool the test plays
const std::string kCompletedBox =
    "box:Firmware Upgrade|You have completed the ROM upgrade process,\nhowever the device will take about\n1 "
    "minute more to finish.  DO NOT TURN OFF\nITS POWER for at least 1 minute!";

// The upgrade window as the user left it, with a ROM file of the given size and this PC's echo
// setting in a file of the test's own.
class UpgradeTest : public OperationFixture {
protected:
    UpgradeTest() { deviceTiming.pauseScale = 0.05; }  // a loaded machine acknowledges within 450 ms
    void TearDown() override {
        OperationFixture::TearDown();
        std::filesystem::remove(romPath);
        std::filesystem::remove(echoSetting);
    }
    void upgradeWindow(std::size_t romBytes, const char* echo = "0\n") {
        window("vorna");
        for (image.clear(); image.size() < romBytes;)
            image.push_back(static_cast<char>(image.size() * 7 + image.size() / 512));
        std::ofstream(romPath, std::ios::binary) << image;
        std::ofstream(echoSetting) << echo;
        upgrade = {login, romPath, "127.0.0.1", true, false};
    }
    Outcome runUpgrade() {
        auto t = task();
        return upgradeWorker(t, upgrade).outcome;
    }
    std::string echoValue() const {
        std::ifstream in(echoSetting);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A simulated device whose flash tool the test plays: once released, it asks for file, then
    // acknowledges each data block until the last one, or until endFlashTool().
    std::unique_ptr<LoopbackPeer> flashTool(std::string file) {
        auto d = device(kToolAt);
        d.shell.outputs[kNetflash] = "";
        startDevice(d);
        return std::make_unique<LoopbackPeer>(
            [this, file](Connection& c) {
                if (!c.awaitRelease()) return;
                c.talkTo(tftpPort);
                c.send(readRequest(file));
                for (auto data = c.receive(); data && data->starts_with(std::string("\0\3", 2));
                     data = c.receive()) {
                    c.send(acknowledgement(++blocksAcknowledged));
                    if (data->size() < 516) return;
                }
            },
            LoopbackPeer::Transport::Udp, kToolAt);
    }
    // Tells the flash tool that the worker has ended, after whatever the server sent.
    void endFlashTool(LoopbackPeer& tool) {
        auto test = Connection::udp();
        test.talkTo(tool.port(), *parseIpv4(kToolAt));
        test.send("end");
        EXPECT_TRUE(tool.finish().empty());
    }

    std::string romPath = testing::TempDir() + "rom-" + std::to_string(::getpid()) + ".bin";
    std::string image;
    UpgradeRequest upgrade;
    std::atomic<int> blocksAcknowledged{0};
};

TEST_F(UpgradeTest, WholeImageArrivesWhileEchoRequestsAreAllowedForThePingOnly) {
    startDevice(device("127.0.72.31"));
    upgradeWindow(2'000'000, "1\n");
    ui->answer = Answer::Yes;
    std::string echoDuringPing;
    ui->onStatus = [&](const std::string& text) {
        if (text == "Waiting for ping request...") echoDuringPing = echoValue();
    };
    EXPECT_EQ(runUpgrade(), Outcome::Ok);
    EXPECT_EQ(echoDuringPing, "0\n");
    EXPECT_EQ(echoValue(), "1\n");

    Calls progress, calls;
    for (const auto& call : ui->calls())
        (call.starts_with("progress:") ? progress : calls).push_back(call);
    EXPECT_EQ(calls, (Calls{"status:Establishing Telnet session...",
                            "box:Lumetra Tools|Lumetra Tools needs to allow incoming ICMP echo requests\n"
                            "in order to perform a firmware upgrade, but they are\ncurrently blocked by your "
                            "firewall.\n\nSelect \"Yes\" to temporarily allow ICMP echo requests.\n",
                            "status:Waiting for ping request...", "status:Deleting configuration files...",
                            "status:Sending TFTP startup to 127.0.72.31",
                            "status:Waiting for TFTP session to start (about 20 seconds)...", "range:0-123",
                            "status:ROM file transfer in progress...", kCompletedBox, "finish"}));
    // Every 32nd block, then the whole bar once the last block is acknowledged.
    ASSERT_EQ(progress.size(), 123u);
    EXPECT_EQ(progress.back(), "progress:123");
    // The device notes the image once its last acknowledgement is on the way.
    const Deadline deadline(Milliseconds(5000));
    while (simulator->flashes(0).empty() && !deadline.expired())
        std::this_thread::sleep_for(Milliseconds(1));
    const auto flashes = simulator->flashes(0);
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_TRUE(flashes[0].complete);
    EXPECT_EQ(flashes[0].bytes, image.size());
    EXPECT_EQ(flashes[0].crc32, sim::crc32(image));
}

// A device whose output comes a few bytes at a time: the ping reply's address may arrive after the
// words that announce it.
TEST_F(UpgradeTest, PingReplyInPieces) {
    auto d = device("127.0.72.34");
    d.shell.faults.slowOutput = true;
    startDevice(d);
    upgradeWindow(100);
    EXPECT_EQ(runUpgrade(), Outcome::Ok);
}

TEST_F(UpgradeTest, ReadRequestWaitsAndTheRequestedName) {
    const std::string firstWait = "status:Waiting for TFTP session to start (about 20 seconds)...";
    const std::string secondWait = "status:TFTP start timeout, waiting 30 more seconds...";
    const struct {
        const char* name;
        std::string requestAt;  // the status after which the flash tool asks; empty: never
        const char* file;
        Calls ending;  // every call after the first wait's status
    } cases[] = {
        {"asks in the second wait",
         secondWait,
         "bootimage.bin",
         {secondWait, "range:0-1", "status:ROM file transfer in progress...", "progress:1", kCompletedBox,
          "finish"}},
        {"never asks",
         "",
         "bootimage.bin",
         {secondWait, "box:TFTP Error|Timeout during negotiation!",
          kUpgradeError + "Unable to receive TFTP request from the device.", "finish"}},
        {"asks for another file",
         firstWait,
         "image.bin",
         {kUpgradeError + "Illegal TFTP request received.", "finish"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        deviceTiming.pauseScale = 0.01;  // the poll budgets pass in about a second
        const auto tool = flashTool(c.file);
        upgradeWindow(100);
        ui->onStatus = [&](const std::string& text) {
            if ("status:" + text == c.requestAt) tool->release();
        };
        runUpgrade();
        if (!c.requestAt.empty()) endFlashTool(*tool);
        const Calls calls = ui->calls();
        const auto first = std::find(calls.begin(), calls.end(), firstWait);
        ASSERT_NE(first, calls.end());
        EXPECT_EQ(Calls(first + 1, calls.end()), c.ending);
        EXPECT_EQ(blocksAcknowledged.exchange(0), c.ending.end()[-2] == kCompletedBox);
    }
}

// Failures after the login end the dialog with their box; nothing that failed is reported as done.
TEST_F(UpgradeTest, LateFailures) {
    const struct {
        const char* name;
        std::map<std::string, std::string> outputs;
        std::optional<uint16_t> lostAck;
        const char* echo;
        bool saveNetwork;
        Calls boxes;
    } cases[] = {
        {"ping names another address",
         {{"ping -c 1 127.0.0.1", "64 bytes from 127.0.0.9: icmp_seq=0 ttl=64\n"}},
         {},
         "0\n",
         false,
         {kUpgradeError + "Unable to determine this PC's IP address."}},
        {"echo requests blocked, the user says no",
         {},
         {},
         "1\n",
         false,
         {"box:Lumetra Tools", kUpgradeError + "Firmware upgrade blocked by firewall settings."}},
        {"version cannot be read",
         {{"cat /etc/version", "cat: can't open '/etc/version': Permission denied\n"}},
         {},
         "0\n",
         false,
         {kUpgradeError + "Unable to read version.\ncat: can't open '/etc/version': Permission denied"}},
        {"version file names no version",
         {{"cat /etc/version", "Lumetra Zelvix\n"}},
         {},
         "0\n",
         false,
         {kUpgradeError + "Unable to read version."}},
        {"erase not confirmed",
         {{"config clear", "config: Permission denied\n"}, {kFlashw, "flashw: Permission denied\n"}},
         {},
         "0\n",
         false,
         {kUpgradeError + "Erase refused by the device: flashw: Permission denied"}},
        {"network settings cannot be packed",
         {{kSaveTar, "sh: can't create /tmp/save.tgz: Read-only file system\n"}},
         {},
         "0\n",
         true,
         {kUpgradeError +
          "Saving the network settings failed.\nsh: can't create /tmp/save.tgz: Read-only file "
          "system"}},
        {"network settings refused by the flash",
         {{kSaveFlashw, "flashw: /dev/flash/save: Permission denied\n"}},
         {},
         "0\n",
         true,
         {kUpgradeError + "Saving the network settings failed.\nflashw: /dev/flash/save: Permission denied"}},
        {"last block never acknowledged",
         {},
         4,
         "0\n",
         false,
         {"box:TFTP Error|Timeout during negotiation!", kUpgradeError + "Lost connection with Camera!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = device("127.0.72.33");
        d.shell.outputs = c.outputs;
        d.shell.faults.lostAck = c.lostAck;
        startDevice(d);
        upgradeWindow(3 * 512 + 100, c.echo);
        upgrade.saveNetwork = c.saveNetwork;
        ui->answer = Answer::No;
        EXPECT_NE(runUpgrade(), Outcome::Ok);
        Calls boxes;
        for (const auto& call : ui->calls())
            if (call.starts_with("box:")) boxes.push_back(call.substr(0, call.find("|Lumetra Tools needs")));
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(echoValue(), c.echo);
        const auto sent = commands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), kNetflash), c.lostAck.has_value());
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "ping -c 1 127.0.0.1"), std::string(c.echo) == "0\n");
        EXPECT_FALSE(session->telnet().isOpen());
    }
}

// Firmware whose version line names uClinux/ColdFire loses its old configuration even when the
// user keeps it; the network settings are saved when asked. Other firmware keeps what the user keeps.
TEST_F(UpgradeTest, VersionLineAndBoxesDecideTheErase) {
    const struct {
        const char* versionLine;  // empty: the device's own
        bool eraseBox;
        bool saveNetwork;
        Calls deviceCommands;  // between reading the version and starting the flash tool
    } cases[] = {
        {"uClinux/ColdFire Version 1.0.9 -- Mon Mar 2 2009\n", false, false, {"config clear"}},
        {"uClinux/ColdFire Version 1.0.9 -- Mon Mar 2 2009\n",
         false,
         true,
         {"config clear", kSaveTar, kSaveFlashw}},
        {"", false, false, {}},
        {"", true, true, {"config clear", kSaveTar, kSaveFlashw}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.versionLine) + (c.eraseBox ? " erase" : " keep"));
        auto d = device("127.0.72.35");
        if (*c.versionLine) d.shell.files["/etc/version"] = c.versionLine;
        startDevice(d);
        upgradeWindow(600);
        upgrade.eraseConfig = c.eraseBox;
        upgrade.saveNetwork = c.saveNetwork;
        EXPECT_EQ(runUpgrade(), Outcome::Ok) << testing::PrintToString(ui->calls());
        const Calls sent = commands();
        const auto version = std::find(sent.begin(), sent.end(), "cat /etc/version");
        const auto flash = std::find(sent.begin(), sent.end(), kNetflash);
        ASSERT_TRUE(version != sent.end() && flash != sent.end());
        EXPECT_EQ(Calls(version + 1, flash), c.deviceCommands);
    }
}

TEST_F(UpgradeTest, ClosingStopsTheTransferBeforeTheNextBlock) {
    const auto tool = flashTool("bootimage.bin");
    upgradeWindow(100 * 512);
    ui->onStatus = [&](const std::string& text) {
        if (text.starts_with("Waiting for TFTP")) tool->release();
    };
    ui->onProgress = [this](int) { state->closing = true; };
    EXPECT_EQ(runUpgrade(), Outcome::Cancelled);
    endFlashTool(*tool);
    EXPECT_EQ(blocksAcknowledged, 32);
    EXPECT_EQ(ui->calls().back(), "progress:1") << "nothing is shown once the window is closing";
}

// This computer's address and the ROM file are checked before anything goes to the device.
TEST_F(UpgradeTest, EarlyFailures) {
    const struct {
        const char* pcAddress;
        bool romExists;
        std::string status;
    } cases[] = {
        {"127.0.0.1\nreboot", true, "This computer's address must be an IPv4 address such as 192.168.1.7."},
        {"127.0.0.1", false, "Can't find the ROM file, please re-enter the path and name."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        LoopbackPeer silent;
        useTelnetPort(silent.port());
        upgradeWindow(10);
        upgrade.pcAddress = c.pcAddress;
        if (!c.romExists) upgrade.romPath = testing::TempDir();
        EXPECT_EQ(runUpgrade(), Outcome::Failed);
        const Calls calls = ui->calls();
        EXPECT_EQ(Calls(calls.end() - 3, calls.end()), (Calls{"beep", "status:" + c.status, "start:on"}));
        EXPECT_EQ(silent.taken(), 0);
    }
}

}  // namespace
}  // namespace lm::test
