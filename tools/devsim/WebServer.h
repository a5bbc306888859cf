#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/platform/UniqueFd.h"
#include "devsim/ConnectionPool.h"
#include "devsim/DeviceConfig.h"
#include "devsim/EventLoop.h"
#include "devsim/PictureCache.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {

// A device's web server: GET /image.jpg gives the current picture, shaped by the device's HTTP fault
// switch; / and /admin.cgi give its home and configuration pages; everything else is 404. One
// request per connection, each served on a pool thread.
class WebServer {
public:
    static constexpr std::size_t kMaxRequestBytes = 8192;

    // listener: TCP, listening on the device's address and the shared HTTP port. clock must be safe
    // to call from several threads. While awake says no (the device restarts), connections are
    // closed unanswered.
    WebServer(const DeviceConfig& device, UniqueFd listener, ConnectionPool& pool,
              std::function<WallClock::time_point()> clock, std::function<bool()> awake = {});

    void attach(EventLoop& loop);

    // Requests read, whatever the answer.
    uint64_t requestsServed() const { return requests_.load(); }

private:
    void serve(int fd);
    void sendPicture(int fd, HttpFault style);

    const DeviceConfig& device_;
    UniqueFd listener_;
    ConnectionPool& pool_;
    std::function<WallClock::time_point()> clock_;
    std::function<bool()> awake_;
    PictureCache picture_;
    std::atomic<uint64_t> requests_{0};
};

}  // namespace lm::sim
