#pragma once

#include <cstddef>
#include <mutex>
#include <set>

#include "core/platform/UniqueFd.h"
#include "devsim/ConnectionPool.h"
#include "devsim/DeviceState.h"
#include "devsim/EventLoop.h"

namespace lm::sim {

// A device's telnet server: option requests at connect, then the login and the shell, one
// session per connection on a pool thread. While the device reboots, connections are reset at once.
class TelnetServer {
public:
    static constexpr std::size_t kMaxSubnegotiationBytes = 256;

    // listener: TCP, listening on the device's address and the shared telnet port.
    TelnetServer(DeviceState& device, UniqueFd listener, ConnectionPool& pool);

    void attach(EventLoop& loop);
    // Ends every open session of the device (a reboot).
    void dropSessions();

private:
    void serve(int fd);

    DeviceState& device_;
    UniqueFd listener_;
    ConnectionPool& pool_;
    std::mutex mutex_;
    std::set<int> sessions_;  // descriptors of the sessions being served
};

}  // namespace lm::sim
