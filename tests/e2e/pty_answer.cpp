// Runs a command on a pseudo-terminal, as a user at a terminal would, and types the answers given
// at its password questions, one per question. An answer is typed only once the terminal's echo
// is off: the program flushes what was typed before it turned echo off. The command's terminal
// output is copied to stdout. Exits with the command's status; 124 when it asks more often than
// answers were given, or does not turn echo off.
// Usage: pty_answer [ANSWER...] -- COMMAND [ARG...]
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::string_view kQuestion = "Password for admin at ";

std::size_t count(const std::string& text, std::string_view part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

bool echoTurnsOff(int terminal) {
    for (int wait = 0; wait < 500; ++wait) {
        termios now{};
        if (::tcgetattr(terminal, &now) == 0 && !(now.c_lflag & ECHO)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int statusOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return 125;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int giveUp(pid_t child, const char* why) {
    std::cerr << "pty_answer: " << why << '\n';
    ::kill(child, SIGTERM);
    statusOf(child);
    return 124;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> answers;
    int at = 1;
    for (; at < argc && std::strcmp(argv[at], "--") != 0; ++at)
        answers.emplace_back(argv[at]);
    if (at + 1 >= argc) {
        std::cerr << "usage: pty_answer [ANSWER...] -- COMMAND [ARG...]\n";
        return 64;
    }
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) return 125;
    if (child == 0) {
        ::execvp(argv[at + 1], argv + at + 1);
        ::_exit(127);
    }
    std::string output;
    std::size_t answered = 0;
    char block[4096];
    for (;;) {
        pollfd p{terminal, POLLIN, 0};
        if (::poll(&p, 1, 120000) <= 0) return giveUp(child, "the command fell silent");
        const ssize_t got = ::read(terminal, block, sizeof block);
        if (got <= 0) break;  // the command closed its terminal
        output.append(block, static_cast<std::size_t>(got));
        std::cout.write(block, got).flush();
        if (count(output, kQuestion) > answered) {
            if (answered == answers.size()) return giveUp(child, "asked once more than answers were given");
            if (!echoTurnsOff(terminal)) return giveUp(child, "asked, but the echo stayed on");
            const std::string typed = answers[answered++] + "\n";
            if (::write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
                return giveUp(child, "could not type the answer");
        }
    }
    return statusOf(child);
}
