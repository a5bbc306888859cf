#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "devsim/ConnectionPool.h"
#include "devsim/DeviceConfig.h"
#include "devsim/PictureCache.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// A device's web server: GET /image.jpg gives the current picture, shaped by the device's HTTP fault
// switch; / and /admin.cgi give its home and configuration pages; everything else is 404. One
// request per connection, each served on a pool thread.
class WebServer {
public:
    static constexpr std::size_t kMaxRequestBytes = 8192;

    // clock must be safe to call from several threads. While awake says no (the device restarts),
    // connections are closed unanswered.
    WebServer(const DeviceConfig& device, ConnectionPool& pool, std::function<WallClock::time_point()> clock,
              std::function<bool()> awake = {});

    // Serves one connection to the device's address, on the pool thread that owns it.
    void serve(int fd);

    // Requests read, whatever the answer.
    uint64_t requestsServed() const { return requests_.load(); }

private:
    void sendPicture(int fd, HttpFault style);

    const DeviceConfig& device_;
    ConnectionPool& pool_;
    std::function<WallClock::time_point()> clock_;
    std::function<bool()> awake_;
    PictureCache picture_;
    std::atomic<uint64_t> requests_{0};
};

}  // namespace lm::sim
