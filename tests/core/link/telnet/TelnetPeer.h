#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"

namespace lm::test {

// A device for the telnet link's tests: listens on 127.0.0.1 and an ephemeral port before the
// constructor returns, accepts one connection on its own thread and runs the test's script on it,
// recording every byte the link sent. Every wait of the script gives up after ten seconds or when
// the peer stops, so a faulty link fails the script instead of hanging the test.
class TelnetPeer {
public:
    class Connection {
    public:
        bool send(std::string_view bytes);
        // Waits until the link has sent text (after what earlier expects consumed) and consumes
        // everything up to its end.
        bool expect(std::string_view text);
        // True when the link sends nothing new within the time.
        bool quiet(std::chrono::milliseconds time);
        // Sends unit again and again, reading what comes back, until the link goes away.
        void sendForever(std::string_view unit);
        // Sends unit and waits for answer, again and again, until the link goes away; returns the
        // number of answers.
        int exchangeForever(std::string_view unit, std::string_view answer);
        // Waits until TelnetPeer::release() was called once more.
        bool awaitRelease();
        // Waits until the link has acknowledged everything sent, so it is in the link's queue.
        bool awaitDelivered();
        // Wakes the test waiting in TelnetPeer::awaitNotice().
        void notify();
        // Keeps the connection open, reading, until the link closes it.
        void holdUntilClosed();
        void close();
        void reset();  // closes with a reset instead of an orderly end

        // Records a failed step; the test reads them from finish().
        void fail(std::string what);

    private:
        friend class TelnetPeer;
        Connection(TelnetPeer& owner, UniqueFd fd) : owner_(owner), fd_(std::move(fd)) {}
        bool readSome(int timeoutMs);

        TelnetPeer& owner_;
        UniqueFd fd_;
        std::string inbox_;
        std::size_t cursor_ = 0;
    };
    using Script = std::function<void(Connection&)>;

    explicit TelnetPeer(Script script);
    ~TelnetPeer();
    TelnetPeer(const TelnetPeer&) = delete;
    TelnetPeer& operator=(const TelnetPeer&) = delete;

    uint16_t port() const { return port_; }
    void release();
    bool awaitNotice();
    // Waits for the script to end; returns the steps that failed.
    std::vector<std::string> finish();
    // Everything the link sent so far.
    std::string received() const;

private:
    // Waits for fd to show events, the stop or the time limit; true only for fd.
    bool waitFor(int fd, short events, int timeoutMs) const;
    bool takeSignal(int fd) const;
    void run();

    Script script_;
    UniqueFd listener_;
    UniqueFd stop_;
    UniqueFd gate_;
    UniqueFd notice_;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::string received_;
    std::vector<std::string> failures_;
    std::thread thread_;
};

}  // namespace lm::test
