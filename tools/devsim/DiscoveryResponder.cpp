#include "devsim/DiscoveryResponder.h"

namespace lm::sim {

DiscoveryResponder::DiscoveryResponder(const DeviceConfig& device, uint16_t port, Send send,
                                       std::function<bool()> awake)
    : port_(port),
      reply_(replyOf(device)),
      answersProbe_(device.answersProbe),
      send_(std::move(send)),
      awake_(std::move(awake)) {}

void DiscoveryResponder::answer(ProbeSource from) {
    probes_.fetch_add(1);
    // Probes come from ephemeral ports. A datagram from the discovery port is another device's
    // reply; answering it would start two devices answering each other for ever.
    if (!answersProbe_ || from.port == port_ || from.port == 0) return;
    if (awake_ && !awake_()) return;
    // Counted before it leaves, so whoever holds the reply also sees it counted.
    replies_.fetch_add(1);
    if (!send_(from, reply_)) replies_.fetch_sub(1);
}

}  // namespace lm::sim
