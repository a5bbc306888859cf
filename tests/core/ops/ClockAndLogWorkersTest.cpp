// Setting a device's clock and reading its logs: the commands and their retries against scripted
// devices where the exact bytes matter, the workers' texts against simulated ones.
#include <gtest/gtest.h>

#include <iomanip>
#include <locale>
#include <regex>
#include <sstream>

#include "RecordingUi.h"
#include "Simulator.h"
#include "link/DeviceClock.h"
#include "link/DeviceSession.h"
#include "ops/LogViewer.h"
#include "ops/SetTime.h"
#include "support/LoopbackPeer.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;

bool logIn(Conversation& c, const std::string& prompt = "> ") {
    return c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect("vorna\n") &&
           c.send("\r\nWelcome\r\n" + prompt);
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Short turns: the silent cases wait out every attempt.
Timing quick() {
    Timing t = Timing::fast();
    t.tick = Milliseconds(1);
    return t;
}

// A locale whose month names are not English, as a user's may be.
struct OtherMonths : std::time_put<char> {
    iter_type do_put(iter_type out, std::ios_base&, char, const std::tm*, char, char) const override {
        for (char c : std::string("Mars"))
            *out++ = c;
        return out;
    }
};

TEST(ClockText, EnglishMonthsWhateverTheLocale) {
    const std::locale before = std::locale::global(std::locale(std::locale::classic(), new OtherMonths));
    std::tm when{};
    std::istringstream("2026-03-05 14:07:09") >> std::get_time(&when, "%Y-%m-%d %H:%M:%S");
    EXPECT_EQ(clockText(when), "March 05 14:07:09  2026");
    std::locale::global(before);
}

// What the device answers to the date command and to the hardware clock's; nullopt: silence.
TEST(SetClock, AttemptsAndTheDevicesAnswers) {
    const std::string kDate = "date -s \"";
    const struct {
        const char* name;
        bool procedure;  // the dialog's four attempts, or the session's three
        std::optional<std::string> dateAnswer, clockAnswer;
        Outcome outcome;
        int dates;
        std::string words;
    } cases[] = {
        {"set", true, "Thu Mar  5 14:07:09 UTC 2026\r\n> ", "\r\n> ", Outcome::Ok, 1, ""},
        {"date refused", true, "date: invalid date 'x'\r\n> ", std::nullopt, Outcome::Refused, 1,
         "date: invalid date 'x'"},
        {"no hardware clock", false, "\r\n> ", "sh: clock: not found\r\n> ", Outcome::Refused, 1,
         "sh: clock: not found"},
        {"silent, dialog", true, std::nullopt, std::nullopt, Outcome::NoAnswer, 4, ""},
        {"silent, session", false, std::nullopt, std::nullopt, Outcome::NoAnswer, 3, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer([&](Conversation& conn) {
            if (!logIn(conn) || !conn.expect(kDate)) return;
            if (c.dateAnswer && conn.expect("\n") && conn.send(*c.dateAnswer) && c.clockAnswer &&
                conn.expect("clock -S\n"))
                conn.send(*c.clockAnswer);
            conn.holdUntilClosed();
        });
        NetworkProfile profile;
        profile.telnetPort = peer.port();
        Session session(profile, quick());
        ASSERT_EQ(session.loginNetwork("127.0.0.1", false, nullptr), LoginOk);
        std::string words;
        DeviceSession shell(session);
        const Outcome outcome =
            c.procedure ? FixTime(session.telnet(), session.timing(), words) : shell.SetClock();
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(c.procedure ? words : shell.deviceMessage(), c.words);
        session.telnet().Close();
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(count(peer.received(), kDate), c.dates) << peer.received();
    }
}

TEST(LogWindow, KeepsTheEndInWholeLines) {
    LogWindow window;
    std::string all;
    for (int i = 0; all.size() < 50000; ++i) {
        std::string line = std::to_string(i) + std::string(76, '.') + "\r\n";
        all += line.substr(0, line.size() - 2) + "\n";
        ASSERT_TRUE(window.add(line));
    }
    EXPECT_TRUE(window.truncated());
    EXPECT_LE(window.text().size(), LogWindow::kCapacity);
    EXPECT_GT(window.text().size(), LogWindow::kCapacity - 80);
    EXPECT_TRUE(all.ends_with(window.text()));
    EXPECT_EQ(all[all.size() - window.text().size() - 1], '\n') << "starts at a line start";

    LogWindow endless;
    EXPECT_TRUE(endless.add(std::string(16384, 'x')));
    EXPECT_FALSE(endless.add(std::string(16384, 'x')));
}

// A worker against one device: simulated, or scripted by the test.
class ClockAndLogWorkers : public testing::Test {
protected:
    void useSimulated(const char* shellPrompt) {
        sim::DeviceConfig device;
        device.address = *parseIpv4("127.0.74.11");
        device.shell.prompt = shellPrompt;
        simulator = std::make_unique<sim::Simulator>(sim::SimulatorConfig{{device}});
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        usePort(simulator->telnetPort(), "127.0.74.11");
    }
    void usePort(uint16_t port, std::string at = "127.0.0.1") {
        NetworkProfile profile;
        profile.telnetPort = port;
        session = std::make_unique<Session>(profile, quick());
        ui = std::make_shared<RecordingUi>("", "");
        address = std::move(at);
    }
    Outcome run(const std::function<Outcome(WorkerTask&)>& work) {
        WorkerTask task(*session, ui, std::make_shared<OperationState>(), &prompt, address, 0, nullptr);
        return work(task);
    }
    Outcome readLog() {
        return run([](WorkerTask& t) { return debugFileWorker(t, kSystemLog); });
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<Session> session;
    std::string address;
    std::shared_ptr<RecordingUi> ui;
    ScriptedPrompt prompt;
};

TEST_F(ClockAndLogWorkers, SetTimeFollowsTheDevicesPrompt) {
    for (const char* shellPrompt : {"> ", "# "}) {
        SCOPED_TRACE(shellPrompt);
        useSimulated(shellPrompt);
        EXPECT_EQ(run(setTimeWorker), Outcome::Ok);
        const auto commands = simulator->commands(0);
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_TRUE(
            std::regex_match(commands[0], std::regex(R"(date -s "[A-Z][a-z]+ \d\d \d\d:\d\d:\d\d  \d{4}")")))
            << commands[0];
        EXPECT_EQ(commands[1], std::string(shellPrompt) == "# " ? "hwclock -w" : "clock -S");
        EXPECT_EQ(ui->calls(), (Calls{"status:Connecting via telnet...", "range:0-2", "progress:1",
                                      "status:Connected, setting time...", "progress:2",
                                      "status:Time is set.", "progress:3", "enable:1:on"}));
        EXPECT_FALSE(session->telnet().isOpen());
    }
    EXPECT_EQ(prompt.asked, 0u);
}

TEST_F(ClockAndLogWorkers, LogReadFromTheDevicesShell) {
    const std::string kCommand = "cat /var/log/syslog";
    const struct {
        const char* name;
        std::string prompt, answer;  // the device's prompt and its answer to the command
        Outcome outcome;
        std::string status;
        std::optional<std::string> log;  // nullopt: not compared
        int commands;
    } cases[] = {
        {"ends at the prompt; a kernel line with the prompt's characters is kept", "# ",
         kCommand + "\r\nMar 3 boot\r\nMar 3 KERNEL: cpu # 0\r\nMar 3 up\r\n# ", Outcome::Ok,
         "Log read and displayed.", "Mar 3 boot\nMar 3 KERNEL: cpu # 0\nMar 3 up\n", 1},
        {"invalid argument, four times", "> ", kCommand + ": Invalid argument\r\n> ", Outcome::Refused,
         "Can't read system log!", "", 4},
        {"no such file, once", "> ",
         kCommand + "\r\ncat: can't open '/var/log/syslog': No such file or directory\r\n> ", Outcome::Failed,
         "Can't read system log!", "cat: can't open '/var/log/syslog': No such file or directory\n", 1},
        {"a line without end", "> ", std::string(40000, 'x'), Outcome::Failed,
         "Log file size exceeds window capacity!", std::nullopt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer([&c, &kCommand](Conversation& conn) {
            if (!logIn(conn, c.prompt)) return;
            // Each attempt: "\n" for the prompt, then the command; before a retry one more "\n".
            for (int lines = 3 * c.commands - 1; lines > 0; --lines) {
                const auto line = conn.until("\n");
                if (!line || !conn.send(line->ends_with(kCommand + "\n") ? c.answer : "\r\n" + c.prompt))
                    return;
            }
            conn.holdUntilClosed();
        });
        usePort(peer.port());
        EXPECT_EQ(readLog(), c.outcome);
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(count(peer.received(), kCommand), c.commands);
        const Calls calls = ui->calls();
        EXPECT_EQ(calls.front(), "status:Establishing telnet session...");
        EXPECT_TRUE(ui->called("status:Reading system log..."));
        EXPECT_TRUE(ui->called("status:" + c.status));
        EXPECT_EQ(ui->called("beep"), c.outcome != Outcome::Ok);
        EXPECT_EQ(calls.back(), "text:1189");
        if (c.log) {
            EXPECT_EQ(ui->text(kLogText), *c.log);
        }
        EXPECT_FALSE(session->telnet().isOpen());
    }
}

TEST_F(ClockAndLogWorkers, LogOfASilentDevice) {
    LoopbackPeer silent;
    usePort(silent.port());
    EXPECT_EQ(readLog(), Outcome::NoAnswer);
    EXPECT_EQ(ui->calls(),
              (Calls{"status:Establishing telnet session...", "status:Unable to establish telnet session."}));
}

}  // namespace
}  // namespace lm::test
