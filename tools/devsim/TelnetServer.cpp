#include "devsim/TelnetServer.h"

#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "core/platform/Socket.h"
#include "devsim/Shell.h"

namespace lm::sim {

namespace {

constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr unsigned char kEcho = 1, kSuppressGoAhead = 3, kTerminalType = 24;
constexpr int kSendLimitSeconds = 10;

// What a telnetd asks for as the connection opens. The PC refuses them all, which is fine.
constexpr unsigned char kOpening[] = {kIac, kDo,   kTerminalType,   kIac, kWill, kEcho,
                                      kIac, kWill, kSuppressGoAhead};

// Splits the client's bytes into typed text and option negotiation, across reads. Requests for
// options we did not offer are refused; refusals need no answer, so no negotiation can loop.
class OptionFilter {
public:
    void feed(std::string_view in, std::string& text, std::string& replies) {
        for (char ch : in) {
            const auto c = static_cast<unsigned char>(ch);
            switch (state_) {
                case State::Data:
                    if (c == kIac) {
                        state_ = State::Command;
                    } else {
                        text += ch;
                    }
                    break;
                case State::Command:
                    state_ = State::Data;
                    if (c == kIac) {
                        text += ch;
                    } else if (c >= kWill && c <= kDont) {
                        verb_ = c;
                        state_ = State::Option;
                    } else if (c == kSb) {
                        subBytes_ = 0;
                        state_ = State::Sub;
                    }
                    break;
                case State::Option:
                    state_ = State::Data;
                    if (verb_ == kDo && c != kEcho && c != kSuppressGoAhead) reply(replies, kWont, c);
                    if (verb_ == kWill && c != kTerminalType) reply(replies, kDont, c);
                    break;
                case State::Sub:
                case State::SubCommand:
                    // A subnegotiation that never ends must not swallow the session.
                    if (++subBytes_ > TelnetServer::kMaxSubnegotiationBytes) {
                        state_ = State::Data;
                    } else if (state_ == State::Sub) {
                        if (c == kIac) state_ = State::SubCommand;
                    } else {
                        state_ = c == kSe ? State::Data : State::Sub;
                    }
                    break;
            }
        }
    }

private:
    enum class State { Data, Command, Option, Sub, SubCommand };

    static void reply(std::string& replies, unsigned char verb, unsigned char option) {
        replies += static_cast<char>(kIac);
        replies += static_cast<char>(verb);
        replies += static_cast<char>(option);
    }

    State state_ = State::Data;
    unsigned char verb_ = 0;
    std::size_t subBytes_ = 0;
};

// The shell's output on the connection, with data bytes 255 doubled. Once a send fails (the PC
// went away or stopped reading) the rest is dropped; the session ends at the next read.
class SocketTerminal : public Terminal {
public:
    explicit SocketTerminal(int fd) : fd_(fd) {}

    void write(std::string_view bytes) override {
        if (broken_) return;
        std::string escaped;
        escaped.reserve(bytes.size());
        for (char c : bytes) {
            escaped += c;
            if (static_cast<unsigned char>(c) == kIac) escaped += c;
        }
        broken_ = !sendAll(fd_, escaped);
    }

    void raw(std::string_view bytes) {
        if (!broken_) broken_ = !sendAll(fd_, bytes);
    }

private:
    int fd_;
    bool broken_ = false;
};

}  // namespace

void TelnetServer::dropSessions() {
    std::lock_guard lock(mutex_);
    for (int fd : sessions_)
        ::shutdown(fd, SHUT_RDWR);
}

void TelnetServer::serve(int fd) {
    {
        std::lock_guard lock(mutex_);
        sessions_.insert(fd);
    }
    // Checked after registering, so a reboot between accept and here still drops the session.
    if (!device_.up()) {
        const linger reset{1, 0};  // a device that is restarting has no telnetd: refuse outright
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    } else {
        const timeval sendLimit{kSendLimitSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
        device_.countSession();
        SocketTerminal terminal(fd);
        Shell shell(device_, terminal, Shell::Kind::Telnet);
        const bool silent = device_.config().shell.faults.silent;
        if (!silent) {
            terminal.raw(std::string_view(reinterpret_cast<const char*>(kOpening), sizeof kOpening));
            shell.showLogin();
        }
        OptionFilter options;
        char buffer[4096];
        while (!shell.ended()) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (silent) continue;
            std::string text, replies;
            options.feed(std::string_view(buffer, static_cast<std::size_t>(got)), text, replies);
            if (!replies.empty()) terminal.raw(replies);
            shell.feed(text);
        }
    }
    std::lock_guard lock(mutex_);
    sessions_.erase(fd);
}

}  // namespace lm::sim
