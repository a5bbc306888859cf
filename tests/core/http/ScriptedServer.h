#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"

namespace lm::test {

// An HTTP server for the fetcher's tests. It listens on a loopback address and an ephemeral port
// before the constructor returns, serves one connection at a time on its own thread (the others wait
// connected in its queue), records every request it reads and answers it as the test's script says.
class ScriptedServer {
public:
    // The server's side of one connection. Every wait also ends when the server stops.
    class Peer {
    public:
        bool send(std::string_view bytes);
        // Sends the unit again and again until the client goes away.
        void sendForever(std::string_view unit);
        // Keeps the connection open and silent until the client closes it.
        void holdUntilClientCloses();
        // Paces a slow sender; false once the server is stopping.
        bool pause(std::chrono::milliseconds time);

    private:
        friend class ScriptedServer;
        Peer(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}
        int fd_;
        int stopFd_;
    };

    // Answers one request; returns true to read another request on the same connection.
    using Script = std::function<bool(Peer& peer, const std::string& request)>;

    // A script that answers every request with the same bytes and closes the connection.
    static Script reply(std::string bytes);

    explicit ScriptedServer(Script script, const std::string& address = "127.0.0.1");
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return port_; }
    // "http://address:port" followed by the path.
    std::string url(std::string_view path) const;
    std::vector<std::string> requests() const;
    int connections() const { return connections_; }

private:
    void run();
    void serve(int fd);
    std::optional<std::string> readRequest(int fd) const;

    Script script_;
    std::string address_;
    UniqueFd listener_;
    UniqueFd stop_;
    uint16_t port_ = 0;
    std::atomic<int> connections_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace lm::test
