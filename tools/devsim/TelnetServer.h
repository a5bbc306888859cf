#pragma once

#include <cstddef>
#include <mutex>
#include <set>

#include "devsim/DeviceState.h"

namespace lm::sim {

// A device's telnet server: option requests at connect, then the login and the shell, one
// session per connection on a pool thread. While the device reboots, connections are reset at once.
class TelnetServer {
public:
    static constexpr std::size_t kMaxSubnegotiationBytes = 256;

    explicit TelnetServer(DeviceState& device) : device_(device) {}

    // Serves one connection to the device's address, on the pool thread that owns it.
    void serve(int fd);
    // Ends every open session of the device (a reboot).
    void dropSessions();

private:
    DeviceState& device_;
    std::mutex mutex_;
    std::set<int> sessions_;  // descriptors of the sessions being served
};

}  // namespace lm::sim
