#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/platform/Ipv4.h"
#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm::test {

// The longest one step of a test's conversation waits: a guard against a program that never
// answers, not a speed limit.
inline constexpr Milliseconds kStepLimit{10'000};

// A UDP port of the loopback address nobody uses at the moment; 0 when none can be had.
uint16_t freeUdpPort();

class LoopbackPeer;

// A test's end of one conversation: a TCP connection, a UDP socket or a terminal. Every wait ends
// after kStepLimit, or at once when the peer running it stops, so a faulty program fails the step
// instead of hanging the test. A failed step is recorded by the peer; on the test's own thread it
// fails the test.
class Conversation {
public:
    explicit Conversation(UniqueFd fd, LoopbackPeer* owner = nullptr);
    // A TCP connection made before returning; not valid() when refused.
    static Conversation connect(Ipv4 address, uint16_t port);
    // A UDP socket on the address and an ephemeral port, sending to port `to` of 127.0.0.1.
    static Conversation udp(std::string_view address = "127.0.0.1", uint16_t to = 0);

    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }

    // A stream takes every byte; a datagram goes to the sender of the last one received, or where
    // talkTo() pointed.
    bool send(std::string_view bytes);
    void talkTo(uint16_t port, Ipv4 address = htonl(INADDR_LOOPBACK));
    Ipv4 sender() const { return to_.sin_addr.s_addr; }
    uint16_t senderPort() const { return ntohs(to_.sin_port); }

    // The next datagram, or what one read of a stream brings; nullopt when nothing comes in time.
    std::optional<std::string> receive();
    // Waits until text has come after what earlier steps consumed; hands out everything up to its end.
    std::optional<std::string> until(std::string_view text);
    bool expect(std::string_view text) { return until(text).has_value(); }
    // True when nothing new comes within the time; by default, when nothing is waiting now.
    bool quiet(Milliseconds time = Milliseconds(0));
    // Keeps reading until the other side closes; false when it stays open.
    bool holdUntilClosed();
    // Sends unit again and again, reading what comes back, until the other side goes away.
    void sendForever(std::string_view unit);
    // Sends unit and waits for answer, again and again, until the other side goes away; returns the
    // number of answers.
    int exchangeForever(std::string_view unit, std::string_view answer);
    // Waits until the other side has acknowledged everything sent, so it sits in its queue.
    bool awaitDelivered();
    // Waits until LoopbackPeer::release() was called once more.
    bool awaitRelease();
    // Wakes the test waiting in LoopbackPeer::awaitNotice().
    void notify();
    void close() { fd_.reset(); }
    void reset();  // closes with a reset instead of an orderly end
    void fail(std::string what);

    // What came and was not handed out yet, and how many reads brought data.
    std::string unread() const { return inbox_.substr(cursor_); }
    std::size_t reads() const { return reads_; }

private:
    bool waitFor(short events, int timeoutMs) const;
    bool readSome(int timeoutMs);
    ssize_t writeSome(std::string_view bytes);

    UniqueFd fd_;
    LoopbackPeer* owner_;
    int type_;  // SOCK_STREAM, SOCK_DGRAM, or 0 for a terminal
    sockaddr_in to_{};
    std::string inbox_;
    std::size_t cursor_ = 0;
    std::size_t reads_ = 0;
    bool closed_ = false;
};

// The device's side of a login with the default password, ending at its shell prompt.
inline bool logIn(Conversation& c, const std::string& prompt = "> ") {
    return c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect("vorna\n") &&
           c.send("\r\nWelcome\r\n" + prompt);
}

// The other side for a test: a TCP listener or a UDP socket on a loopback address and an ephemeral
// port, ready before the constructor returns. A script runs on the peer's own thread over the first
// connection it accepts (with TcpEach, over every connection in turn until the peer is destroyed),
// over its UDP socket, or over a descriptor it is given; everything it reads is recorded.
class LoopbackPeer {
public:
    enum class Transport { Tcp, TcpEach, Udp };
    using Script = std::function<void(Conversation&)>;

    // A listener that takes connections into its backlog and never says a word.
    explicit LoopbackPeer(int backlog = 16);
    explicit LoopbackPeer(Script script, Transport transport = Transport::Tcp,
                          std::string_view address = "127.0.0.1");
    // Runs the script over a descriptor the test made, such as the device's side of a terminal.
    LoopbackPeer(Script script, UniqueFd fd);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t port() const { return port_; }
    // For the silent listener: connections made so far, each counted once.
    int taken();
    // The connections the script ran over.
    int served() const { return served_; }
    void release();
    bool awaitNotice();
    // Waits for the script to end; returns the steps that failed.
    std::vector<std::string> finish();
    // Everything the script read so far.
    std::string received() const;

private:
    friend class Conversation;
    bool takeSignal(const UniqueFd& eventFd) const;
    void start(bool listener, bool every);

    Script script_;
    UniqueFd socket_;
    UniqueFd stop_;
    UniqueFd gate_;
    UniqueFd notice_;
    uint16_t port_ = 0;
    std::atomic<int> served_ = 0;
    mutable std::mutex mutex_;
    std::string received_;
    std::vector<std::string> failures_;
    std::thread thread_;
};

}  // namespace lm::test
