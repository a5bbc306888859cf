#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/platform/UniqueFd.h"
#include "devsim/DeviceConfig.h"
#include "devsim/EventLoop.h"

namespace lm::sim {

// Where a probe came from; the reply goes back there.
struct ProbeSource {
    Ipv4 address = 0;
    uint16_t port = 0;
};

// A device's answer to the discovery probe, sent from the device's own socket so that the reply's
// source address is the device's address.
class DiscoveryResponder {
public:
    // socket: UDP, bound on the device's address and the shared discovery port. While awake says
    // no (the device restarts), probes are counted but not answered.
    DiscoveryResponder(const DeviceConfig& device, UniqueFd socket, uint16_t port,
                       std::function<bool()> awake = {});

    // Watches the device's socket for probes sent straight to it.
    void attach(EventLoop& loop);

    // Answers one probe, whichever socket heard it. Any payload counts as a probe.
    void answer(ProbeSource from);

    uint64_t probesReceived() const { return probes_.load(); }
    // Counted as the reply leaves; a reply that could not be sent is taken back.
    uint64_t repliesSent() const { return replies_.load(); }

private:
    void receive();

    UniqueFd socket_;
    uint16_t port_;
    std::string reply_;
    bool answersProbe_;
    std::function<bool()> awake_;
    std::atomic<uint64_t> probes_{0};
    std::atomic<uint64_t> replies_{0};
};

// Reads one waiting datagram and reports its source; nullopt when there is none.
std::optional<ProbeSource> readProbe(int fd);

}  // namespace lm::sim
