#pragma once

#include <csignal>

namespace lm::cli {

// While it lives, Ctrl-C and SIGTERM go to handler (which must be async-signal-safe); the handlers
// before it come back when it ends.
class InterruptHandler {
public:
    explicit InterruptHandler(void (*handler)(int)) {
        struct sigaction action {};
        action.sa_handler = handler;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &savedInt_);
        ::sigaction(SIGTERM, &action, &savedTerm_);
    }
    ~InterruptHandler() {
        ::sigaction(SIGINT, &savedInt_, nullptr);
        ::sigaction(SIGTERM, &savedTerm_, nullptr);
    }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    struct sigaction savedInt_ {};
    struct sigaction savedTerm_ {};
};

}  // namespace lm::cli
