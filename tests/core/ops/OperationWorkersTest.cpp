// The operation workers: the frame (the checks before the login, the login with one retry and its
// failures, the wait for a scan, a window that closes while its worker runs), then reboot and erase
// against simulated devices, and the erase sequence against scripted ones where the exact bytes
// matter.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RecordingUi.h"
#include "Simulator.h"
#include "link/Session.h"
#include "ops/MaintenanceOperations.h"
#include "support/LoopbackPeer.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;
using Connection = test::Conversation;

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
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        useTelnetPort(simulator->telnetPort());
    }
    static sim::DeviceConfig device(const char* at) {
        sim::DeviceConfig d;
        d.address = *parseIpv4(at);
        return d;
    }
    void useTelnetPort(uint16_t port, Timing timing = Timing::fast()) {
        NetworkProfile profile;
        profile.telnetPort = port;
        session = std::make_unique<Session>(profile, timing);
    }

    // The window as the user left it: address and password typed.
    void window(const std::string& typedPassword, std::optional<std::string> typedAddress = std::nullopt) {
        ui = std::make_shared<RecordingUi>(typedAddress.value_or(address), typedPassword);
    }
    WorkerTask task(int startButton) {
        return WorkerTask(*session, ui, state, &prompt, address, startButton, &scanInProgress);
    }
    Outcome run(Outcome (*worker)(WorkerTask&), int startButton) {
        auto t = task(startButton);
        return worker(t);
    }
    Outcome runReboot() { return run(rebootWorker, kRebootStartButton); }
    Outcome runErase() { return run(eraseWorker, kEraseStartButton); }
    // Starts a worker on its own thread as the window's start button does.
    void startWorker(Outcome (*worker)(WorkerTask&), int startButton) {
        WorkerTask::start(state, [this, startButton, worker] {
            auto t = task(startButton);
            worker(t);
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
    std::shared_ptr<RecordingUi> ui;
    std::shared_ptr<OperationState> state = std::make_shared<OperationState>();
    ScriptedPrompt prompt;
    std::atomic<bool> scanInProgress{false};
};

class WorkerTaskTest : public OperationFixture {};

// The device's side of a login with the default password, ending at its shell prompt.
bool logIn(Connection& c) {
    return c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect("vorna\n") &&
           c.send("\r\nWelcome\r\n> ");
}

TEST_F(WorkerTaskTest, BlankAddressOrPasswordFailsBeforeConnecting) {
    const Calls noAddress = {"field:1195", "beep", "status:You must specify the IP address.",
                             "enable:1236:on"};
    const struct {
        const char* address;
        const char* password;
        Calls calls;
    } cases[] = {{"", "vorna", noAddress},
                 {"0.0.0.0", "vorna", noAddress},
                 {"127.0.0.1",
                  "",
                  {"field:1195", "field:1192", "beep", "status:You must specify the administrator password.",
                   "enable:1236:on"}}};
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
              (Calls{"beep", "status:Please enter the correct password.", "enable:1236:on"}));
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
    EXPECT_EQ(ui->calls().back(), "enable:1235:on");
}

// A device that takes the connection and never speaks: counted, two attempts. (A refused connection
// gives the same message: the CLI demo's reboot of an address nobody has.)
TEST_F(WorkerTaskTest, UnreachableDeviceIsTriedTwice) {
    LoopbackPeer silent;
    useTelnetPort(silent.port());
    window("vorna");
    runErase();
    EXPECT_EQ(silent.taken(), 2);
    EXPECT_EQ(ui->calls().back(), "enable:1235:on");
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
    startWorker(rebootWorker, kRebootStartButton);
    timing.pause(Milliseconds(2000));
    ui->record("scan ended");
    scanInProgress = false;
    ASSERT_TRUE(waitUntilStopped());
    const Calls calls = ui->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "scan ended") << "the worker read its fields during the scan";
    EXPECT_EQ(calls.back(), "enable:1236:on");
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
    startWorker(rebootWorker, kRebootStartButton);
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_TRUE(state->closing);
    EXPECT_EQ(ui->calls(), (Calls{"field:1195", "field:1192", "status:Establishing Telnet session...",
                                  "status:Rebooting..."}));
    EXPECT_EQ(session->password(), "vorna");
    session->telnet().Close();
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
    EXPECT_EQ(runReboot(), Outcome::Failed);
    EXPECT_TRUE(
        ui->called("status:The device link is busy with another operation. Try again when it has finished."));
    EXPECT_EQ(device.taken(), 0);
}

// A closed window is not touched; a worker that throws still clears the running mark.
TEST_F(WorkerTaskTest, ClosedWindowIsNotTouchedAndAFailedWorkerStops) {
    useTelnetPort(23);
    window("vorna");
    state->closing = true;
    auto t = task(kRebootStartButton);
    EXPECT_EQ(t.ui(), nullptr);
    EXPECT_EQ(t.open(), Outcome::Cancelled);
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
        {"cleared, box cleared while erasing: no reboot", false, false, {"config clear"}, kErasedOnly},
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
        // The user sets the box while the erase runs: it is read once the erase is done.
        ui->onStatus = [this, &c](const std::string& text) {
            if (text == "Erasing config files...") ui->setChecked(kRebootAfterwardsBox, c.rebootAfterwards);
        };
        runErase();
        EXPECT_EQ(commands(), c.commands);
        Calls expected = {"field:1195", "field:1192", "status:Establishing Telnet session...",
                          "status:Erasing config files...", "checked:1234"};
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
        TelnetLink link(timing, peer.port());
        std::string password = "vorna";
        ASSERT_EQ(link.Login("127.0.0.1", false, password, nullptr, "vorna"), LoginOk);
        EXPECT_EQ(EraseConfigSequence(link), c.outcome);
        link.Close();
        EXPECT_EQ(peer.finish(), std::vector<std::string>{});
        EXPECT_EQ(peer.received(), "admin\nvorna\nconfig clear\n" + (c.fallback ? kFlashw + "\n" : ""));
    }
}

// A refused erase or reboot is a failure in the device's words: no final message, the button back.
TEST_F(MaintenanceOperationsTest, RefusedOperationFailsWithTheDevicesWords) {
    const struct {
        Outcome (*worker)(WorkerTask&);
        int startButton;
        std::vector<std::pair<std::string, std::string>> exchanges;  // what the device reads, its answer
        std::string status;
    } cases[] = {
        {eraseWorker,
         kEraseStartButton,
         {{"config clear\n", "config: Permission denied\r\n> "},
          {kFlashw + "\n", "\r\nflashw: Permission denied\r\n> "}},
         "Erase refused by the device: flashw: Permission denied"},
        {rebootWorker,
         kRebootStartButton,
         {{"reboot\n", "reboot: Permission denied\r\n> "}},
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
        EXPECT_EQ(run(c.worker, c.startButton), Outcome::Refused);
        session->telnet().Close();
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(ui->calls().back(), "enable:" + std::to_string(c.startButton) + ":on");
        EXPECT_TRUE(ui->called("status:" + c.status)) << c.status;
        EXPECT_FALSE(ui->called("finish"));
    }
}

}  // namespace
}  // namespace lm::test
