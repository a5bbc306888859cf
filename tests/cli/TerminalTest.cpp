// The terminal as a window: device text made safe, and questions answered without a person.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "cli/CliApp.h"
#include "cli/TerminalChannel.h"
#include "cli/TerminalText.h"

namespace lm::cli {
namespace {

TEST(TerminalText, ControlCharactersAndInvalidBytesBecomeQuestionMarks) {
    const struct {
        std::string device, shown;
    } cases[] = {
        {"plain text", "plain text"},
        {"\xe2\x82\xac 5, caf\xc3\xa9", "\xe2\x82\xac 5, caf\xc3\xa9"},  // valid multibyte text stays
        {"a\x1b[2Jb", "a?[2Jb"},
        {"bell\x07", "bell?"},
        {"\xc2\x9b"
         "31m",
         "?31m"},  // C1 CSI as a code point
        {"\x9b"
         "31m",
         "?31m"},                      // C1 CSI as a bare byte: invalid UTF-8
        {"\xc0\xaf", "??"},            // overlong
        {"\xed\xa0\x80", "???"},       // surrogate
        {"cut \xe2\x82", "cut ??"},    // sequence cut short
        {"\xf4\x90\x80\x80", "????"},  // beyond Unicode
    };
    for (const auto& c : cases)
        EXPECT_EQ(terminalSafe(c.device), c.shown) << c.device;
}

TEST(TerminalChannel, QuestionsAreAnsweredNoWithoutTerminalAndYesWithYes) {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);  // no terminal, even when run from one
    std::ostringstream out, err;
    for (const bool yes : {false, true}) {
        TerminalChannel ui(yes, out, err);
        EXPECT_EQ(ui.ask({"Go on?", "Upgrade", Question::Icon::Question, Choices::YesNo}),
                  yes ? Answer::Yes : Answer::No);
        EXPECT_EQ(ui.ask({"Go on?", "Upgrade", Question::Icon::Warning, Choices::OkCancel}),
                  yes ? Answer::Ok : Answer::Cancel);
        EXPECT_EQ(ui.ask({"No reply.", "TFTP Error", Question::Icon::Information, Choices::Ok}), Answer::Ok);
        ui.showResult("Done.", "Upgrade");
    }
    // Only the result goes to standard output; a box on the way is not one.
    EXPECT_EQ(out.str(), "Done.\nDone.\n");
    EXPECT_EQ(err.str(), "Go on?\nGo on?\nNo reply.\nGo on?\nGo on?\nNo reply.\n");
}

// A wizard worker's page: the step bar only on a terminal and never when quiet, its line ended
// before any other text; the ROM warning whatever the mode; the sheet's moves kept for the command.
TEST(TerminalChannel, WizardPageShowsItsStepsAndNotices) {
    const std::string warning =
        "Warning: the device's ROM version could not be read or is older than 1.0; its settings may not be "
        "read correctly.\n";
    const struct {
        bool quiet, terminal;
        std::string shown;
    } cases[] = {
        {false, true,
         "\r[###############               ] 2/4\r\033[KReading...\n" + warning + "\r[" +
             std::string(30, '#') + "] 4/4"},
        {false, false, "Reading...\n" + warning},
        {true, true, warning},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        TerminalChannel page(err, c.quiet, c.terminal);
        page.progressRange(0, 4);
        page.progress(2);
        page.status("Reading...");
        page.showNotice(Notice::RomWarning, true);
        page.showNotice(Notice::CannotProceed, true);
        page.progress(9);
        EXPECT_EQ(err.str(), c.shown) << c.quiet << c.terminal;
        EXPECT_EQ(page.lastStatus(), "Reading...");
        page.allowCancel(false);
        EXPECT_FALSE(TerminalChannel::cancelEnabled());
        page.moveNext();
        EXPECT_TRUE(page.nextPressed());
        EXPECT_FALSE(page.cancelPressed());
    }
    // A new page starts with Ctrl-C allowed again.
    std::ostringstream err;
    TerminalChannel next(err, false, false);
    EXPECT_TRUE(TerminalChannel::cancelEnabled());
}

// Ctrl-C, a hang-up or a closed pipe while the password is typed must not leave the terminal
// without echo; the signal still ends the program.
TEST(TerminalPasswordPrompt, EndingSignalPutsEchoBack) {
    for (const int signal : {SIGINT, SIGHUP, SIGPIPE, SIGTERM}) {
        int terminal = -1;
        const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            const char* args[] = {"lmtools-cli", "reboot", "127.0.0.1"};
            std::ostringstream out, err;
            ::_exit(runCli(3, args, out, err));
        }
        std::string shown;
        char buffer[256];
        while (shown.find("Password for admin") == std::string::npos) {
            pollfd p{terminal, POLLIN, 0};
            ASSERT_GT(::poll(&p, 1, 10000), 0) << "no prompt; the terminal showed: " << shown;
            const ssize_t got = ::read(terminal, buffer, sizeof buffer);
            ASSERT_GT(got, 0);
            shown.append(buffer, static_cast<std::size_t>(got));
        }
        termios asking{};
        ASSERT_EQ(::tcgetattr(terminal, &asking), 0);
        EXPECT_FALSE(asking.c_lflag & ECHO) << "the password is typed without echo";
        if (signal == SIGINT)
            ASSERT_EQ(::write(terminal, "\x03", 1), 1);  // typed, as a person would
        else
            ASSERT_EQ(::kill(child, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << strsignal(signal) << ": " << status;
        termios after{};
        ASSERT_EQ(::tcgetattr(terminal, &after), 0);
        EXPECT_TRUE(after.c_lflag & ECHO) << strsignal(signal);
        ::close(terminal);
    }
}

// Several devices without a password given: it is typed once on the terminal, before any device is
// worked on, and never asked again however many devices refuse or fail.
TEST(TerminalPasswordPrompt, BatchAsksOnceForEveryDevice) {
    ::unsetenv("LMTOOLS_PASSWORD");
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Addresses nobody has: each device fails, none may bring another question.
        const char* args[] = {"lmtools-cli", "reboot", "127.0.0.97", "127.0.0.98", "-q"};
        std::ostringstream out, err;
        ::_exit(runCli(5, args, out, err));
    }
    std::string shown;
    char buffer[256];
    bool answered = false;
    while (true) {
        pollfd p{terminal, POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0) break;
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0) break;  // the program ended and the terminal closed
        shown.append(buffer, static_cast<std::size_t>(got));
        if (!answered && shown.find("Password for admin") != std::string::npos) {
            answered = true;
            ASSERT_EQ(::write(terminal, "Kl4ppe\n", 7), 7);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(terminal);
    EXPECT_TRUE(answered) << shown;
    std::size_t asked = 0;
    for (auto at = shown.find("Password for admin"); at != std::string::npos;
         at = shown.find("Password for admin", at + 1))
        ++asked;
    EXPECT_EQ(asked, 1u) << shown;
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 3) << shown;
}

}  // namespace
}  // namespace lm::cli
