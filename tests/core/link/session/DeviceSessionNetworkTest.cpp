// The shell operations over telnet, against scripted devices.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/link/DeviceSession.h"
#include "support/LoopbackPeer.h"

namespace lm {
namespace {

using test::LoopbackPeer;
using Connection = test::Conversation;

class DeviceSessionNetworkTest : public testing::Test {
protected:
    // A session connected to the scripted device; the shell prompt as given (empty: to be learnt).
    std::unique_ptr<Session> connect(const LoopbackPeer& peer, const std::string& prompt = "# ") {
        NetworkProfile profile;
        profile.telnetPort = peer.port();
        auto session = std::make_unique<Session>(profile, Timing::fast());
        session->setShellPrompt(prompt);
        EXPECT_TRUE(session->telnet().connect("127.0.0.1"));
        return session;
    }
    static void finish(LoopbackPeer& peer, Session& session) {
        session.telnet().close();
        const auto failures = peer.finish();
        EXPECT_TRUE(failures.empty()) << failures.front();
    }
};

TEST_F(DeviceSessionNetworkTest, RunCommandLearnsPromptSkipsEchoAndKeepsLineEnds) {
    LoopbackPeer peer([](Connection& c) {
        c.expect("\n") && c.send("\r\n# ") && c.expect("ifconfig -a\n") &&
            c.send("ifconfig -a\r\neth0      Link encap:Ethernet\r\n          inet addr:10.0.0.5\r\n# ");
        c.holdUntilClosed();
    });
    auto session = connect(peer, "");
    DeviceSession device(*session);
    EXPECT_EQ(device.runCommand("ifconfig -a"), Outcome::Ok);
    EXPECT_EQ(session->shellPrompt(), "# ");
    EXPECT_EQ(session->remoteLines(), (std::vector<std::string>{"eth0      Link encap:Ethernet\r\n",
                                                                "          inet addr:10.0.0.5\r\n"}));
    finish(peer, *session);
    EXPECT_EQ(peer.received(), "\nifconfig -a\n");
}

// A prompt has no line end: it is known when it arrives, not after the longest read of a line
// (once 4 s at every login before a device's settings were read).
TEST_F(DeviceSessionNetworkTest, ALearntPromptEndsItsReadAtOnce) {
    for (const char* prompt : {"> ", "# "}) {
        LoopbackPeer peer([prompt](Connection& c) {
            c.expect("\n") && c.send(std::string("\r\n") + prompt) && c.expect("true\n") &&
                c.send(std::string("true\r\n") + prompt);
            c.holdUntilClosed();
        });
        NetworkProfile profile;
        profile.telnetPort = peer.port();
        Timing slow = Timing::fast();
        slow.tick = Milliseconds(500);  // a prompt read that waits out its line takes 40 s
        slow.waitBound = Milliseconds(60'000);
        Session session(profile, slow);
        ASSERT_TRUE(session.telnet().connect("127.0.0.1"));
        DeviceSession device(session);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(device.runCommand("true"), Outcome::Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(session.shellPrompt(), prompt);
        finish(peer, session);
    }
}

// A device that waits for one line, answers it, and holds the connection until the link closes.
LoopbackPeer answering(std::string line, std::string answer) {
    return LoopbackPeer([line, answer](Connection& c) {
        c.expect(line) && c.send(answer);
        c.holdUntilClosed();
    });
}

// What follows the echo decides the outcome and the lines kept; a user's command keeps every line
// but its echo (ps lists itself).
TEST_F(DeviceSessionNetworkTest, RunCommandAnswersGiveResultAndLines) {
    using Echo = DeviceSession::Echo;
    const struct {
        std::string command, answer;  // the answer follows the echo
        Echo echo;
        Outcome result;
        std::vector<std::string> lines;
    } cases[] = {
        {"mbus", "mbus: Bad command\r\n# ", Echo::AllNamingCommand, Outcome::Refused, {}},
        {"mbus", "# comment\r\n# ", Echo::AllNamingCommand, Outcome::Ok, {"# comment\r\n"}},
        {"mbus", "mbus 0.1\r\nx\r\n# ", Echo::AllNamingCommand, Outcome::Ok, {"x\r\n"}},
        // A shell with line editing asks where the cursor is after its prompt.
        {"mbus", "x\r\n# \x1b[6n", Echo::AllNamingCommand, Outcome::Ok, {"x\r\n"}},
        {"mbus", "partial\r\n", Echo::AllNamingCommand, Outcome::NoAnswer, {"partial\r\n"}},
        {"ps",
         "  PID COMMAND\r\n  158 ps\r\n# ",
         Echo::FirstOnly,
         Outcome::Ok,
         {"  PID COMMAND\r\n", "  158 ps\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        LoopbackPeer peer = answering(c.command + "\n", c.command + "\r\n" + c.answer);
        auto session = connect(peer);
        EXPECT_EQ(DeviceSession(*session).runCommand(c.command, c.echo), c.result);
        EXPECT_EQ(session->remoteLines(), c.lines);
        finish(peer, *session);
    }
}

// Only the first line naming the command is its echo; the device's refusal ends the read.
TEST_F(DeviceSessionNetworkTest, ReadFileRefusalsGiveTheirOutcomeAndWords) {
    const struct {
        const char* answer;
        Outcome outcome;
        const char* words;
    } cases[] = {
        {"run cat /etc/none\r\ncat: /etc/none: Invalid argument\r\n# ", Outcome::Refused,
         "cat: /etc/none: Invalid argument"},
        {"run cat /etc/none\r\ncat: can't open '/etc/none': No such file or directory\r\n# ", Outcome::Failed,
         "cat: can't open '/etc/none': No such file or directory"},
    };
    for (const auto& k : cases) {
        LoopbackPeer peer = answering("cat /etc/none\n", std::string("cat /etc/none\r\n") + k.answer);
        auto session = connect(peer);
        DeviceSession device(*session);
        EXPECT_EQ(device.readRemoteFile("/etc/none"), k.outcome);
        EXPECT_EQ(device.deviceMessage(), k.words);
        EXPECT_EQ(session->remoteLines(), (std::vector<std::string>{"run cat /etc/none\r\n"}));
        finish(peer, *session);
    }
}

// What an earlier command left (the prompt a Ctrl-C brings, late) is not taken for this command's end.
TEST_F(DeviceSessionNetworkTest, LeftoverPromptBeforeTheEchoIsNotTheEnd) {
    const std::string leftover = "^C\r\n# ";
    for (const bool file : {true, false}) {
        SCOPED_TRACE(file ? "cat" : "command");
        const std::string command = file ? "cat /etc/version" : "uname";
        LoopbackPeer peer = answering(command + "\n", leftover + command + "\r\nLumetra version 4.2.1\r\n# ");
        auto session = connect(peer);
        DeviceSession device(*session);
        EXPECT_EQ(file ? device.readRemoteFile("/etc/version") : device.runCommand(command), Outcome::Ok);
        EXPECT_EQ(session->remoteLines(), std::vector<std::string>{"Lumetra version 4.2.1\r\n"});
        finish(peer, *session);
    }
}

// A shell not yet reading when the line came shows it twice, the terminal's echo and then its line
// editor's redraw after the prompt: neither is output (a firmware upgrade once took the redraw of
// "cat /etc/version" for the version line and kept a configuration it must erase).
TEST_F(DeviceSessionNetworkTest, TheLineEditorsRedrawOfTheCommandIsNoOutput) {
    const struct {
        std::string command, answer;
        std::vector<std::string> lines;
    } cases[] = {
        {"cat /etc/version",
         "cat /etc/version\r\n# cat /etc/version\r\nuClinux/ColdFire Version 1.0.9\r\n# ",
         {"uClinux/ColdFire Version 1.0.9\r\n"}},
        {"cat /etc/version",
         "^Ccat /etc/version\r\n\r\n# \x1b[6ncat /etc/version\r\nLumetra version 4.2.1\r\n# ",
         {"Lumetra version 4.2.1\r\n"}},
        // Blank lines that no redraw follows are the file's own.
        {"cat /etc/version",
         "cat /etc/version\r\n\r\nLumetra version 4.2.1\r\n# ",
         {"\r\n", "Lumetra version 4.2.1\r\n"}},
        // Once output has begun, a line naming the command is output (ps lists itself).
        {"ps", "ps\r\n# ps\r\n  PID COMMAND\r\n# ps\r\n# ", {"  PID COMMAND\r\n", "# ps\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        LoopbackPeer peer = answering(c.command + "\n", c.answer);
        auto session = connect(peer);
        DeviceSession device(*session);
        const bool file = c.command.starts_with("cat ");
        EXPECT_EQ(file ? device.readRemoteFile("/etc/version")
                       : device.runCommand(c.command, DeviceSession::Echo::FirstOnly),
                  Outcome::Ok);
        EXPECT_EQ(session->remoteLines(), c.lines);
        finish(peer, *session);
    }
}

// A file whose last line has no line end shows that line on the line of the prompt: it is still a
// line of the file. A prompt that has text of its own ("/ # ") is told from it by a bare prompt.
TEST_F(DeviceSessionNetworkTest, ReadFileKeepsALastLineWithoutLineEnd) {
    const struct {
        const char* output;      // after the echo
        const char* barePrompt;  // the answer to a line end, when one is asked for
        Outcome outcome;
        std::vector<std::string> lines;
    } cases[] = {
        {"Port 80\r\nGroup nogroup# ", "\r\n# ", Outcome::Ok, {"Port 80\r\n", "Group nogroup"}},
        {"Port 80\r\n/ # ", "\r\n/ # ", Outcome::Ok, {"Port 80\r\n"}},
        {"Port 80\r\nGroup nogroup/ # \x1b[6n",
         "\r\n/ # \x1b[6n",
         Outcome::Ok,
         {"Port 80\r\n", "Group nogroup"}},
        {"Port 80# ", nullptr, Outcome::NoAnswer, {}},  // silent when asked: nothing can be told
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        LoopbackPeer peer([&c](Connection& conn) {
            conn.expect("cat /etc/config/boa.conf\n") &&
                conn.send(std::string("cat /etc/config/boa.conf\r\n") + c.output);
            if (c.barePrompt) conn.expect("\n") && conn.send(c.barePrompt);
            conn.holdUntilClosed();
        });
        auto session = connect(peer);
        EXPECT_EQ(DeviceSession(*session).readRemoteFile("/etc/config/boa.conf"), c.outcome);
        EXPECT_EQ(session->remoteLines(), c.lines);
        finish(peer, *session);
    }
}

// A device that keeps talking without ever showing its prompt is stopped by the wait's bound.
TEST_F(DeviceSessionNetworkTest, EndlessOutputEndsAtTheWaitBound) {
    LoopbackPeer peer([](Connection& c) {
        c.expect("yes\n");
        while (c.send("y\r\n"))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    auto session = connect(peer);
    DeviceSession device(*session);
    EXPECT_EQ(device.runCommand("yes"), Outcome::NoAnswer);
    EXPECT_EQ(device.deviceMessage(), "the device kept sending without showing its prompt; stopped");
    session->telnet().close();
    peer.finish();
}

// Values that would end the line and run a second command are never sent.
TEST_F(DeviceSessionNetworkTest, UnsafeInputIsRefusedBeforeSending) {
    LoopbackPeer peer([](Connection& c) { c.holdUntilClosed(); });
    auto session = connect(peer);
    DeviceSession device(*session);
    EXPECT_EQ(device.runCommand("id\nconfig clear"), Outcome::Failed);
    EXPECT_EQ(device.readRemoteFile("/etc/x;reboot"), Outcome::Failed);
    session->remoteLines() = {"IPADDR=1\x1b:!reboot"};
    EXPECT_EQ(device.writeRemoteFile("/var/tmp/x", "/var/tmp", "x"), Outcome::Failed);
    EXPECT_FALSE(device.sendLine("ping -c 1 10.0.0.1\rreboot"));
    EXPECT_NE(device.deviceMessage().find("control character"), std::string::npos);
    finish(peer, *session);
    EXPECT_EQ(peer.received(), "");
}

// An operation that drives a command itself: its line goes out with a line end, what the device
// answers is heard, and Ctrl-C stops the command.
TEST_F(DeviceSessionNetworkTest, DrivenCommandIsHeardAndInterrupted) {
    LoopbackPeer peer([](Connection& c) {
        c.expect("ping -c 1 10.0.0.1\n") && c.send("PING 10.0.0.1\r\n64 bytes from 10.0.0.1: seq=0\r\n") &&
            c.expect("\x03") && c.send("^C\r\n# ");
        c.holdUntilClosed();
    });
    auto session = connect(peer);
    DeviceSession device(*session);
    ASSERT_TRUE(device.sendLine("ping -c 1 10.0.0.1"));
    EXPECT_EQ(device.expect(20, {"unreachable", "bytes from"}), 2);
    EXPECT_NE(device.seenText().find("64 bytes from 10.0.0.1"), std::string::npos) << device.seenText();
    ASSERT_TRUE(device.interrupt());
    EXPECT_EQ(device.expect(20, {"> ", "# "}), 2);
    finish(peer, *session);
    EXPECT_EQ(peer.received(), "ping -c 1 10.0.0.1\n\x03");
}

TEST_F(DeviceSessionNetworkTest, EnterNshDecidesFromTheVersion) {
    const struct {
        FirmwareVersion version;
        bool sendsNsh, rootPrompt;
    } cases[] = {{{1, 0, 5}, false, false}, {{1, 0, 20}, false, true}, {{1, 0, 12}, true, true},
                 {{1, 2, 0}, false, true},  {{2, 0, 5}, true, true},   {{2, 0, 14}, false, true}};
    for (const auto& c : cases) {
        LoopbackPeer peer([&c](Connection& conn) {
            if (c.sendsNsh) conn.expect("/bin/nsh\n") && conn.send("\r\n# ");
            conn.holdUntilClosed();
        });
        auto session = connect(peer);
        session->setFirmware(c.version);
        bool root = !c.rootPrompt;
        EXPECT_EQ(DeviceSession(*session).enterNsh(root), Outcome::Ok);
        EXPECT_EQ(root, c.rootPrompt);
        finish(peer, *session);
        EXPECT_EQ(peer.received(), c.sendsNsh ? "/bin/nsh\n" : "");
    }
}

// The listing never shows the file: each attempt ends with the editor left, the file removed, and
// a new attempt, four in all.
constexpr const char* kCatStart =
    "( echo 'LM''READY' >&2; exec /bin/cat ) > /var/tmp/net || echo 'LM''REFUSED'\n";

TEST_F(DeviceSessionNetworkTest, CatWriteRetriesFourTimesWhenTheListingFails) {
    LoopbackPeer peer([](Connection& c) {
        for (int attempt = 1; attempt <= 4; ++attempt) {
            bool ok = c.expect(kCatStart) && c.send(std::string(kCatStart) + "\rLMREADY\r\n") &&
                      c.expect("IPADDR=10.0.0.5\n") && c.expect("NETMASK=255.255.255.0\n") &&
                      c.expect("\x04") && c.send("# ") && c.expect("ls /var/tmp\n") &&
                      c.send("ls /var/tmp\r\nother\r\n# ");
            if (ok && attempt < 4)
                ok = c.expect("\x1b:q!\n") && c.send("# ") && c.expect("rm /var/tmp/net\n") && c.send("# ");
            if (!ok) break;
        }
        c.holdUntilClosed();
    });
    auto session = connect(peer);
    session->remoteLines() = {"IPADDR=10.0.0.5", "NETMASK=255.255.255.0"};
    EXPECT_EQ(DeviceSession(*session).writeRemoteFile("/var/tmp/net", "/var/tmp", "net",
                                                      DeviceSession::WriteBy::Cat),
              Outcome::Failed);
    finish(peer, *session);
}

// The shell cannot create the file, or answers with nothing but its echo: no line of the file is
// typed, since the shell would run it. A refusal is final and carries the shell's words.
TEST_F(DeviceSessionNetworkTest, CatWriteTypesNothingUntilCatRuns) {
    const struct {
        const char* answer;
        int attempts;
        const char* message;
    } cases[] = {{"\rsh: can't create /var/tmp/net: Is a directory\r\nLMREFUSED\r\n# ", 1,
                  "the device could not create /var/tmp/net: sh: can't create /var/tmp/net: Is a directory"},
                 {"\r# ", 4, "the file /var/tmp/net did not read back as written"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        LoopbackPeer peer([&c](Connection& c2) {
            for (int attempt = 1; attempt <= c.attempts; ++attempt) {
                if (!c2.expect(kCatStart) || !c2.send(std::string(kCatStart) + c.answer)) return;
                if (attempt < c.attempts && !(c2.expect("\x1b:q!\n") && c2.send("# ") &&
                                              c2.expect("rm /var/tmp/net\n") && c2.send("# ")))
                    return;
            }
            c2.holdUntilClosed();
        });
        auto session = connect(peer);
        session->remoteLines() = {"reboot", "IPADDR=10.0.0.5"};
        DeviceSession device(*session);
        EXPECT_EQ(device.writeRemoteFile("/var/tmp/net", "/var/tmp", "net", DeviceSession::WriteBy::Cat),
                  Outcome::Failed);
        EXPECT_EQ(device.deviceMessage(), c.message);
        finish(peer, *session);
        EXPECT_EQ(peer.received().find("reboot"), std::string::npos);
        EXPECT_EQ(peer.received().find("IPADDR"), std::string::npos);
    }
}

// The editor does not start: its screen never shows, so nothing meant for it reaches the shell.
TEST_F(DeviceSessionNetworkTest, EditorWriteTypesNothingUntilTheEditorShows) {
    LoopbackPeer peer([](Connection& c) {
        for (int attempt = 1; attempt <= 4; ++attempt) {
            bool ok = c.expect("rm -f /var/tmp/net\n") && c.send("rm -f /var/tmp/net\r\n# ") &&
                      c.expect("vi /var/tmp/net\n") && c.send("vi /var/tmp/net\r\nsh: vi: not found\r\n# ");
            if (ok && attempt < 4)
                ok = c.expect("\x1b:q!\n") && c.send("sh: :q!: not found\r\n# ") &&
                     c.expect("rm /var/tmp/net\n") && c.send("# ");
            if (!ok) return;
        }
        c.holdUntilClosed();
    });
    auto session = connect(peer);
    session->remoteLines() = {"reboot", "IPADDR=10.0.0.5"};
    EXPECT_EQ(DeviceSession(*session).writeRemoteFile("/var/tmp/net", "/var/tmp", "net"), Outcome::Failed);
    finish(peer, *session);
    EXPECT_EQ(peer.received().find("reboot"), std::string::npos);
    EXPECT_EQ(peer.received().find("IPADDR"), std::string::npos);
}

// A line sent after a drain is judged by what comes after it: words left unread from before (an
// earlier command's complaint) are dropped, not taken for its answer.
TEST_F(DeviceSessionNetworkTest, DrainedLineDropsWhatCameBeforeIt) {
    LoopbackPeer peer([](Connection& c) {
        c.send("mv: can't rename '/var/tmp/old'\r\n# ") && c.expect("mv /var/tmp/a /etc/config/\n") &&
            c.send("mv /var/tmp/a /etc/config/\r\n# ");
        c.holdUntilClosed();
    });
    auto session = connect(peer);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the old words have arrived
    DeviceSession device(*session);
    device.drain();
    ASSERT_TRUE(device.sendLine("mv /var/tmp/a /etc/config/"));
    EXPECT_EQ(device.expect(5, {"mv:", "# "}), 2);
    EXPECT_EQ(device.seenText().find("can't rename"), std::string::npos) << device.seenText();
    finish(peer, *session);
}

TEST_F(DeviceSessionNetworkTest, ReadPromptReturnsSecondLineWhenNoPromptComes) {
    LoopbackPeer peer = answering("\n", "\r\nlogin: ");
    auto session = connect(peer);
    EXPECT_EQ(DeviceSession(*session).readPrompt(), "login: ");
    finish(peer, *session);
}

TEST(DeviceSessionPromptLine, PromptMustEndTheLine) {
    Session session;
    session.setShellPrompt("# ");
    const DeviceSession device(session);
    for (const auto& [line, prompt] : {std::pair<const char*, bool>{"# ", true},
                                       {"\r\n# ", true},
                                       {"# \r\n", false},
                                       {"# ls # ", false},
                                       {"> ", false}})
        EXPECT_EQ(device.isPromptLine(line), prompt) << line;
}

}  // namespace
}  // namespace lm
