#include "cli/TerminalPasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "cli/InterruptHandler.h"
#include "core/link/ShellInput.h"
#include "core/platform/UniqueFd.h"

namespace lm::cli {

namespace {

constexpr std::size_t kMaxAnswer = 1024;

// The terminal's settings while echo is off, for the signal handler to put back, and the handlers
// the signal goes on to.
int gQuietTty = -1;
termios gSavedTermios{};
const InterruptHandler* gQuietGuard = nullptr;

void restoreEchoAndDie(int signal) {
    ::tcsetattr(gQuietTty, TCSAFLUSH, &gSavedTermios);
    if (gQuietGuard != nullptr)
        gQuietGuard->restore();
    else
        ::signal(signal, SIG_DFL);  // arrived before the guard was published
    ::raise(signal);
}

bool readLine(int tty, std::string& line) {
    line.clear();
    char c = 0;
    ssize_t got;
    while ((got = ::read(tty, &c, 1)) == 1 && c != '\n')
        if (line.size() < kMaxAnswer) line += c;
    return got == 1;
}

bool say(int tty, const std::string& text) {
    return ::write(tty, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Asks the question with echo already off, so nothing typed at once is shown, and reads one line;
// false at end of input.
bool askHidden(int tty, const std::string& question, std::string& line) {
    if (::tcgetattr(tty, &gSavedTermios) != 0) return say(tty, question) && readLine(tty, line);
    gQuietTty = tty;
    const InterruptHandler guard(restoreEchoAndDie);
    gQuietGuard = &guard;
    termios quiet = gSavedTermios;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
    const bool got = say(tty, question) && readLine(tty, line);
    ::tcsetattr(tty, TCSAFLUSH, &gSavedTermios);
    gQuietGuard = nullptr;
    gQuietTty = -1;
    return got;
}

UniqueFd openTerminal() {
    if (!TerminalPasswordPrompt::available()) return UniqueFd();
    return UniqueFd(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
}

}  // namespace

bool TerminalPasswordPrompt::available() {
    return ::isatty(STDIN_FILENO) != 0;
}

bool TerminalPasswordPrompt::askPassword(std::string& password) {
    const UniqueFd tty = openTerminal();
    if (!tty) return false;
    std::string question = opening_ + "Password for admin at " + site_ + ": ";
    std::string typed;
    while (true) {
        if (!askHidden(tty.get(), question, typed)) return false;  // end of input: the user gave up
        if (typed.empty())
            question = "A password is required. Password for admin at " + site_ + ": ";
        else if (hasControlCharacter(typed))
            question = "A password cannot hold control characters. Password for admin at " + site_ + ": ";
        else
            break;
    }
    password = typed;
    return true;
}

std::optional<bool> askYesNo(const std::string& question) {
    const UniqueFd tty = openTerminal();
    if (!tty || !say(tty.get(), question)) return std::nullopt;
    std::string answer;
    if (!readLine(tty.get(), answer)) return std::nullopt;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace lm::cli
