#include "TerminalPasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/UniqueFd.h"

namespace lm::cli {

namespace {

constexpr std::size_t kMaxPassword = 1024;

// Reads one line from the terminal with echo off; false at end of input.
bool readHidden(int tty, std::string& line) {
    termios saved{};
    const bool hasTermios = ::tcgetattr(tty, &saved) == 0;
    if (hasTermios) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    line.clear();
    char c = 0;
    ssize_t got;
    while ((got = ::read(tty, &c, 1)) == 1 && c != '\n')
        if (line.size() < kMaxPassword) line += c;
    if (hasTermios) ::tcsetattr(tty, TCSAFLUSH, &saved);
    return got == 1;
}

}  // namespace

std::optional<std::string> givenPassword(const std::optional<std::string>& option) {
    if (option) return option;
    if (const char* env = std::getenv("LMTOOLS_PASSWORD")) return std::string(env);
    return std::nullopt;
}

bool TerminalPasswordPrompt::available() {
    return ::isatty(STDIN_FILENO) != 0;
}

bool TerminalPasswordPrompt::askPassword(std::string& password) {
    if (!available()) return false;
    UniqueFd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty) return false;
    std::string question = opening_ + "Password for admin at " + site_ + ": ";
    std::string typed;
    while (true) {
        if (::write(tty.get(), question.data(), question.size()) < 0) return false;
        if (!readHidden(tty.get(), typed)) return false;  // end of input: the user gave up
        if (!typed.empty()) break;
        question = "A password is required. Password for admin at " + site_ + ": ";
    }
    password = typed;
    return true;
}

}  // namespace lm::cli
