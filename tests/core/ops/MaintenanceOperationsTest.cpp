// Reboot and erase against simulated devices, and the erase sequence against scripted ones where
// the exact bytes matter.
#include <string>
#include <vector>

#include "OperationFixture.h"
#include "support/LoopbackPeer.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;
using Connection = test::Conversation;

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
        {"cleared, no reboot", false, false, {"config clear"}, kErasedOnly},
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
        ui->setChecked(kRebootAfterwardsBox, c.rebootAfterwards);
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

TEST_F(MaintenanceOperationsTest, RebootBoxIsReadWhenTheEraseIsDone) {
    startDevice(device("127.0.72.23"));
    window("vorna");
    // The user clears the box while the erase runs.
    ui->onStatus = [this](const std::string& text) {
        if (text == "Erasing config files...") ui->setChecked(kRebootAfterwardsBox, false);
    };
    runErase();
    EXPECT_EQ(commands(), Calls{"config clear"});
    EXPECT_TRUE(ui->called(kErasedOnly));
}

// The device's side of a login with the default password, ending at its shell prompt.
bool logIn(Connection& c) {
    return c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect("vorna\n") &&
           c.send("\r\nWelcome\r\n> ");
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

// A refused erase is a failure in the device's words: no final message, the button back.
TEST_F(MaintenanceOperationsTest, RefusedEraseFailsWithTheDevicesWords) {
    LoopbackPeer peer([](Connection& c) {
        logIn(c) && c.expect("config clear\n") && c.send("config: Permission denied\r\n> ") &&
            c.expect(kFlashw + "\n") && c.send("\r\nflashw: Permission denied\r\n> ");
        c.holdUntilClosed();
    });
    useTelnetPort(peer.port());
    window("vorna");
    auto t = task(kEraseStartButton);
    EXPECT_EQ(eraseWorker(t), Outcome::Refused);
    session->telnet().Close();
    EXPECT_TRUE(peer.finish().empty());
    EXPECT_EQ(ui->calls().back(), "enable:1235:on");
    EXPECT_TRUE(ui->called("status:Erase refused by the device: flashw: Permission denied"));
    EXPECT_FALSE(ui->called("finish"));
}

}  // namespace
}  // namespace lm::test
