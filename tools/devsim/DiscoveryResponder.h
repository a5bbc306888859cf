#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "devsim/DeviceConfig.h"
#include "devsim/ProbeSocket.h"

namespace lm::sim {

// A device's answer to the discovery probe, sent from the device's own address so that the reply's
// source is the device.
class DiscoveryResponder {
public:
    // Sends one datagram from the device's address and discovery port; false when it could not leave.
    using Send = std::function<bool(ProbeSource to, std::string_view datagram)>;

    // port: the discovery port. While awake says no (the device restarts), probes are counted but
    // not answered.
    DiscoveryResponder(const DeviceConfig& device, uint16_t port, Send send,
                       std::function<bool()> awake = {});

    // Answers one probe, whichever address it was sent to. Any payload counts as a probe.
    void answer(ProbeSource from);

    uint64_t probesReceived() const { return probes_.load(); }
    // Counted as the reply leaves; a reply that could not be sent is taken back.
    uint64_t repliesSent() const { return replies_.load(); }

private:
    uint16_t port_;
    std::string reply_;
    bool answersProbe_;
    Send send_;
    std::function<bool()> awake_;
    std::atomic<uint64_t> probes_{0};
    std::atomic<uint64_t> replies_{0};
};

}  // namespace lm::sim
