#include "core/link/TelnetLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <span>

#include "core/link/ShellInput.h"
#include "core/link/TerminalControls.h"
#include "core/platform/Ipv4.h"
#include "core/platform/Socket.h"

namespace lm {

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSb = 250;

constexpr int kTurnTicks = 10;     // each expect turn reads for half a second
constexpr int kMaxGivenBack = 50;  // turns that received text and were given back, per expect
constexpr std::size_t kTranscriptLimit = 512;
constexpr std::size_t kTranscriptCut = 256;
// A device line is a few hundred characters at most; a peer that never ends its line gets it
// handed out in pieces of this size instead of growing the result for ever.
constexpr std::size_t kMaxLine = 16 * 1024;
// Leftovers of a real device are a few KiB; a peer that floods must not keep drain busy.
constexpr std::size_t kMaxDrain = std::size_t{1} << 20;

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// connect() with a time-out: non-blocking while the handshake runs, blocking again afterwards.
bool connectWithin(int fd, const sockaddr_in& to, Milliseconds budget) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return false;
        const Deadline deadline(budget);
        int ready;
        do {
            pollfd p{fd, POLLOUT, 0};
            ready = ::poll(&p, 1, deadline.remainingMs());
        } while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

}  // namespace

TelnetLink::TelnetLink(const Timing& timing, uint16_t port) : timing_(timing), port_(port) {}

bool TelnetLink::connect(const std::string& address) {
    drain();
    close();
    peerClosed_ = false;
    connectFailed_ = true;
    const auto ip = parseIpv4(address);
    if (!ip) return false;
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    const auto local = makeSockaddr(INADDR_ANY, 0);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return false;
    const Milliseconds budget = timing_.tick * kConnectTicks;
    if (!connectWithin(fd.get(), makeSockaddr(*ip, port_), budget)) return false;
    connectFailed_ = false;
    // Sends stay blocking, but a peer that stops reading cannot hold one for longer than a connect.
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(budget).count();
    const timeval limit{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    socket_ = std::move(fd);
    return true;
}

LoginResult TelnetLink::login(const std::string& address, bool allowPrompt, std::string& currentPassword,
                              PasswordPrompt* prompt, const std::string& defaultPassword) {
    if (hasControlCharacter(currentPassword)) return LoginBadPassword;
    if (!connect(address)) return LoginFailed;
    bool refused = false;
    const auto fail = [&] {
        // A device that hangs up after refusing a password has answered: it refused.
        const bool hungUp = refused && peerClosed_;
        close();
        return hungUp ? LoginRefused : LoginFailed;
    };
    if (expect(15, {"login:"}) == 0 || !send(kUser)) return fail();
    for (;;) {
        if (expect(10, {"assword"}) == 0 || !send(currentPassword + "\n")) return fail();
        if (expect(10, {"> ", "Login incorrect", "# "}) != 0) {
            if (contains(transcript_, "> ") || contains(transcript_, "# ")) return LoginOk;
        } else if (!contains(transcript_, "login:")) {
            // No answer we know: bring the device back to its login prompt.
            if (!send("\n") || expect(15, {"login:"}) == 0) return fail();
        }
        const auto incorrect = transcript_.rfind("Login incorrect");
        const bool atLogin =
            transcript_.find("login:", incorrect == std::string::npos ? 0 : incorrect) != std::string::npos;
        refused = true;
        if (!allowPrompt) return LoginRefusedNoPrompt;
        do {
            if (prompt == nullptr || !prompt->askPassword(currentPassword)) {
                close();
                currentPassword = defaultPassword;
                return LoginCancelled;
            }
        } while (currentPassword.empty() || hasControlCharacter(currentPassword));
        // A login program drops what is typed before it asks again: wait for its prompt.
        if (!atLogin && expect(15, {"login:"}) == 0) return fail();
        if (!send(kUser)) return fail();
    }
}

bool TelnetLink::send(std::string_view text) {
    if (!socket_) return false;
    ssize_t sent;
    do {
        sent = ::send(socket_.get(), text.data(), text.size(), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(text.size());
}

void TelnetLink::drain() {
    pendingText.clear();
    for (std::size_t dropped = 0; socket_ && dropped < kMaxDrain;) {
        int waiting = 0;
        if (::ioctl(socket_.get(), FIONREAD, &waiting) != 0 || waiting <= 0) return;
        const ssize_t got = ::recv(socket_.get(), block_.data(), block_.size(), MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        dropped += static_cast<std::size_t>(got);
    }
}

void TelnetLink::close() {
    socket_.reset();
}

bool TelnetLink::processBlock(std::string_view block, std::string& text, std::string& answer) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(block[i]); };
    const std::size_t answered = answer.size();
    std::size_t i = 0;
    while (i < block.size()) {
        const unsigned char c = byte(i);
        if (c != kIac) {
            text += c == 0 ? '\n' : static_cast<char>(c);
            ++i;
            continue;
        }
        if (i + 1 == block.size()) break;
        const unsigned char command = byte(i + 1);
        if (command < kSb || command == kIac) {
            i += 2;  // a command without option; an escaped 255 is dropped with it
            continue;
        }
        if (i + 2 == block.size()) break;
        const char option = block[i + 2];
        if (command == kWill) answer += {static_cast<char>(kIac), static_cast<char>(kDont), option};
        if (command == kDo || command == kDont)
            answer += {static_cast<char>(kIac), static_cast<char>(kWont), option};
        i += 3;  // WONT and SB need no answer; the body of SB is taken as text
    }
    if (i == block.size()) return true;
    // Cut by the end of the block: the rest comes as text in the next one, nothing is answered.
    answer.resize(answered);
    return false;
}

std::string TelnetLink::takeLine() {
    const auto end = pendingText.find('\n');
    const std::size_t length = end == std::string::npos ? pendingText.size() : end + 1;
    std::string line = pendingText.substr(0, length);
    pendingText.erase(0, length);
    return line;
}

void TelnetLink::receive(int ticks) {
    // One deadline for the whole call, so a peer that only ever negotiates cannot hold it.
    const Deadline deadline(timing_.tick * std::max(ticks, 0));
    while (socket_) {
        const int fd = socket_.get();
        const auto readable = waitReadable(std::span(&fd, 1), deadline.remainingMs());
        if (!readable || !(*readable)[0]) return;
        ssize_t got;
        do {
            got = ::recv(fd, block_.data(), block_.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got == 0) peerClosed_ = true;
        if (got <= 0) return;
        std::string answer;
        if (!processBlock(std::string_view(block_.data(), static_cast<std::size_t>(got)), pendingText,
                          answer))
            return;
        if (!answer.empty()) send(answer);
        if (!pendingText.empty() || answer.empty() || deadline.expired()) return;
    }
}

std::string TelnetLink::readLine(int ticks) {
    if (pendingText.empty()) receive(ticks);
    return takeLine();
}

std::string TelnetLink::readFullLine(int ticks) {
    return readUntil(ticks, {});  // every read ends at the line end
}

std::string TelnetLink::readUntil(int ticks, std::initializer_list<std::string_view> terminators) {
    std::string result;
    const Deadline bound(timing_.waitBound);
    const auto tick = std::max<long long>(timing_.tick.count(), 1);
    waitCut_ = false;
    while (result.size() < kMaxLine) {
        // The last read of a long wait is cut short at the bound; that cut is what lastWaitCut tells.
        const int ticksLeft = static_cast<int>((bound.remainingMs() + tick - 1) / tick);
        const bool shortened = ticksLeft < ticks;
        if (ticksLeft == 0) {
            waitCut_ = true;
            break;
        }
        const std::string line = readLine(shortened ? ticksLeft : ticks);
        if (line.empty()) {
            waitCut_ = shortened;
            break;
        }
        result += line;
        if (line.back() == '\n') break;
        const std::string_view shown = withoutTrailingControls(result);
        if (std::ranges::any_of(terminators, [&](std::string_view end) { return shown.ends_with(end); }))
            break;
    }
    return result;
}

int TelnetLink::expect(int turns, std::initializer_list<std::string_view> patterns) {
    transcript_.clear();
    expectReads_ = 0;
    waitCut_ = false;
    int givenBack = 0;
    const Deadline bound(timing_.waitBound);
    while (turns > 0) {
        if (bound.expired()) {
            waitCut_ = true;
            return 0;
        }
        const std::string line = readLine(kTurnTicks);
        ++expectReads_;
        if (!line.empty() && givenBack < kMaxGivenBack) {
            ++turns;
            ++givenBack;
        }
        transcript_ += line;
        int position = 1;
        for (const auto pattern : patterns) {
            if (contains(transcript_, pattern)) return position;
            ++position;
        }
        // Cut by whole steps until the bound holds again, however long the line was.
        if (transcript_.size() > kTranscriptLimit)
            transcript_.erase(0, (transcript_.size() - kTranscriptLimit + kTranscriptCut - 1) /
                                     kTranscriptCut * kTranscriptCut);
        --turns;
    }
    return 0;
}

void TelnetLink::logout(bool sendQuit) {
    if (sendQuit) {
        send("quit\n");
        expect(1, {"xxxyyy"});  // never found: reads the last output until the device falls silent
    }
    close();
}

}  // namespace lm
