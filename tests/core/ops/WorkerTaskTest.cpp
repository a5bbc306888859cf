// The frame of the operation workers: the checks before the login, the login with one retry and
// its failures, the wait for a scan, and a window that closes while its worker runs.
#include <chrono>
#include <string>
#include <vector>

#include "OperationFixture.h"
#include "support/LoopbackPeer.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;

class WorkerTaskTest : public OperationFixture {};

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

TEST_F(WorkerTaskTest, RefusedPasswordIsAskedForAndTheOperationCompletes) {
    auto d = device("127.0.72.11");
    d.shell.password = "secret";
    startDevice(d);
    window("wrong");
    prompt = ScriptedPrompt({"secret"});
    runReboot();
    EXPECT_EQ(prompt.asked, 1u);
    EXPECT_EQ(commands(), Calls{"reboot"});
    EXPECT_EQ(
        ui->calls(),
        (Calls{"field:1195", "field:1192", "status:Establishing Telnet session...", "status:Rebooting...",
               "box:Reboot Camera|The device will take\na few seconds to reboot.", "finish"}));
    EXPECT_EQ(session->password(), "vorna") << "the entered password serves this operation only";
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

TEST_F(WorkerTaskTest, UnreachableDeviceIsTriedTwice) {
    // Nothing listens on the address: both connects are refused.
    useTelnetPort(23);
    address = "127.0.72.250";
    window("vorna");
    runReboot();
    EXPECT_TRUE(ui->called("status:This device does not respond!"));
    EXPECT_TRUE(ui->called("enable:1236:on"));

    // A device that takes the connection and never speaks: counted, two attempts.
    LoopbackPeer silent;
    useTelnetPort(silent.port());
    address = "127.0.0.1";
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
        if (c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect("vorna\n") &&
            c.send("\r\n> ") && c.expect("reboot\n"))
            state->closing = true;  // the user closes the window while the worker waits
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
    auto t = task(kRebootStartButton);
    EXPECT_EQ(rebootWorker(t), Outcome::Failed);
    EXPECT_TRUE(
        ui->called("status:The device link is busy with another operation. Try again when it has finished."));
    EXPECT_EQ(device.taken(), 0);
}

TEST_F(WorkerTaskTest, ClosedWindowIsNotTouched) {
    useTelnetPort(23);
    window("vorna");
    state->closing = true;
    auto t = task(kRebootStartButton);
    EXPECT_EQ(t.ui(), nullptr);
    EXPECT_EQ(t.open(), Outcome::Cancelled);
    t.fail("This device does not respond!", Outcome::NoAnswer);
    t.succeed("text", "title");
    EXPECT_TRUE(ui->calls().empty());
}

TEST_F(WorkerTaskTest, StartClearsRunningAfterAFailedWorker) {
    bool ran = false;
    WorkerTask::start(state, [&ran] {
        ran = true;
        throw std::runtime_error("lost");
    });
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace lm::test
