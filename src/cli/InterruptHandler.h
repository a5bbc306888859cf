#pragma once

#include <array>
#include <csignal>
#include <cstddef>

namespace lm::cli {

// The signals that end the program before its work is done: Ctrl-C, kill, a terminal or ssh
// session that hangs up, and a pipe whose reader has gone.
inline constexpr std::array<int, 4> kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// While it lives, every ending signal goes to handler (which must be async-signal-safe); the
// handlers before it come back when it ends. A signal ignored when it starts stays ignored, so an
// upgrade started with nohup outlives the session that started it.
class InterruptHandler {
public:
    explicit InterruptHandler(void (*handler)(int)) {
        struct sigaction action {};
        action.sa_handler = handler;
        ::sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
            ::sigaction(kEndingSignals[i], nullptr, &saved_[i]);
            if (saved_[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
        }
    }
    ~InterruptHandler() { restore(); }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

    // Puts the earlier handlers back; async-signal-safe, so a handler can pass its signal on.
    void restore() const {
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &saved_[i], nullptr);
    }

private:
    std::array<struct sigaction, kEndingSignals.size()> saved_{};
};

}  // namespace lm::cli
