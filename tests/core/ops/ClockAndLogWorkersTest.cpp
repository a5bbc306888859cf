// Setting a device's clock and reading its logs: the commands, their retries and the worker's texts
// against devices the test plays.
#include <gtest/gtest.h>

#include <iomanip>
#include <locale>
#include <regex>
#include <sstream>

#include "core/link/DeviceClock.h"
#include "core/link/DeviceSession.h"
#include "core/ops/LogViewer.h"
#include "core/ops/SetTime.h"
#include "support/LoopbackPeer.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedPrompt.h"
#include "support/TextChecks.h"

namespace lm::test {
namespace {

using Calls = std::vector<std::string>;

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
        std::size_t dates;
        std::string words;
    } cases[] = {
        {"set", true, "Thu Mar  5 14:07:09 UTC 2026\r\n> ", "\r\n> ", Outcome::Ok, 1, ""},
        {"set, root shell", true, "Thu Mar  5 14:07:09 UTC 2026\r\n# ", "\r\n# ", Outcome::Ok, 1, ""},
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
            // Behind "# " the hardware clock is set by hwclock.
            if (c.dateAnswer && conn.expect("\n") && conn.send(*c.dateAnswer) && c.clockAnswer &&
                conn.expect(c.dateAnswer->ends_with("# ") ? "hwclock -w\n" : "clock -S\n"))
                conn.send(*c.clockAnswer);
            conn.holdUntilClosed();
        });
        NetworkProfile profile;
        profile.telnetPort = peer.port();
        Session session(profile, quick());
        OperationResult result;
        if (c.procedure) {
            WorkerTask task(session, std::make_shared<RecordingChannel>(), std::make_shared<OperationState>(),
                            nullptr, "127.0.0.1", nullptr);
            result = setTimeWorker(task, {});
        } else {
            ASSERT_EQ(session.loginNetwork("127.0.0.1", false, nullptr), LoginOk);
            DeviceSession shell(session);
            result = {shell.setClock(3), shell.deviceMessage()};
        }
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.deviceWords, c.words);
        session.telnet().close();
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(occurrences(peer.received(), kDate), c.dates) << peer.received();
        EXPECT_TRUE(std::regex_search(peer.received(),
                                      std::regex(R"(date -s "[A-Z][a-z]+ \d\d \d\d:\d\d:\d\d  \d{4}"\n)")))
            << peer.received();
    }
}

// The log worker against a device the test plays.
class LogWorker : public testing::Test {
protected:
    Outcome readLog(uint16_t port) {
        NetworkProfile profile;
        profile.telnetPort = port;
        session = std::make_unique<Session>(profile, quick());
        ui = std::make_shared<RecordingChannel>();
        WorkerTask task(*session, ui, std::make_shared<OperationState>(), &prompt, "127.0.0.1", nullptr);
        shown.reset();
        const LogResult read =
            debugFileWorker(task, {kSystemLog, Session::kDefaultPassword, [this](const std::string& given) {
                                       EXPECT_FALSE(shown) << "shown twice";
                                       shown = given;
                                   }});
        text = read.text;
        return read.outcome;
    }

    std::unique_ptr<Session> session;
    std::shared_ptr<RecordingChannel> ui;
    ScriptedPrompt prompt;
    std::optional<std::string> shown;  // what the window was given
    std::string text;                  // what the result holds
};

TEST_F(LogWorker, ReadFromTheDevicesShell) {
    const std::string kCommand = "cat /var/log/syslog";
    // 500 lines of 81 characters: the window keeps the last 395 whole, where 5 more characters fit.
    std::string longLog, longAnswer;
    for (int i = 10000; i < 10500; ++i) {
        longLog += std::to_string(i) + std::string(75, '.') + "\n";
        longAnswer += std::to_string(i) + std::string(75, '.') + "\r\n";
    }
    const struct {
        const char* name;
        std::string prompt, answer;  // the device's prompt and its answer to the command
        Outcome outcome;
        std::string status;
        std::optional<std::string> log;  // nullopt: not compared
        std::size_t commands;
    } cases[] = {
        {"ends at the prompt; a kernel line with the prompt's characters is kept", "# ",
         kCommand + "\r\nMar 3 boot\r\nMar 3 KERNEL: cpu # 0\r\nMar 3 up\r\n# ", Outcome::Ok,
         "Log read and displayed.", "Mar 3 boot\nMar 3 KERNEL: cpu # 0\nMar 3 up\n", 1},
        {"invalid argument, four times", "> ", kCommand + ": Invalid argument\r\n> ", Outcome::Refused,
         "Can't read system log!", "", 4},
        {"no such file, once", "> ",
         kCommand + "\r\ncat: can't open '/var/log/syslog': No such file or directory\r\n> ", Outcome::Failed,
         "Can't read system log!", "cat: can't open '/var/log/syslog': No such file or directory\n", 1},
        {"a long log keeps its end in whole lines", "> ", kCommand + "\r\n" + longAnswer + "> ", Outcome::Ok,
         "Log file exceeds capacity, early entries truncated.", longLog.substr(105 * 81), 1},
        {"a line without end", "> ", std::string(40000, 'x'), Outcome::Failed,
         "Log file size exceeds window capacity!", std::nullopt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer([&c, &kCommand](Conversation& conn) {
            if (!logIn(conn, c.prompt)) return;
            // Each attempt: "\n" for the prompt, then the command; before a retry one more "\n".
            for (std::size_t lines = 3 * c.commands - 1; lines > 0; --lines) {
                const auto line = conn.until("\n");
                if (!line || !conn.send(line->ends_with(kCommand + "\n") ? c.answer : "\r\n" + c.prompt))
                    return;
            }
            conn.holdUntilClosed();
        });
        EXPECT_EQ(readLog(peer.port()), c.outcome);
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(occurrences(peer.received(), kCommand), c.commands);
        EXPECT_TRUE(ui->called("status:" + c.status));
        EXPECT_EQ(ui->called("beep"), c.outcome != Outcome::Ok);
        EXPECT_EQ(shown, text) << "the window shows what the result holds";
        if (c.log) {
            EXPECT_EQ(text, *c.log);
        }
        EXPECT_FALSE(session->telnet().isOpen());
    }
}

TEST_F(LogWorker, SilentDevice) {
    LoopbackPeer silent;
    EXPECT_EQ(readLog(silent.port()), Outcome::NoAnswer);
    EXPECT_FALSE(shown) << "nothing was read, so nothing is shown";
    EXPECT_EQ(ui->calls(),
              (Calls{"status:Establishing telnet session...", "status:Unable to establish telnet session."}));
}

}  // namespace
}  // namespace lm::test
