#include "core/platform/SendPacer.h"

#include <algorithm>

namespace lm {

namespace {
constexpr long long kNanosPerSecond = 1'000'000'000;
}

SendPacer::SendPacer(int perSecond, MonoClock::time_point start)
    : perSecond_(std::max(perSecond, 1)), start_(start) {}

MonoClock::time_point SendPacer::dueAt(std::size_t packet) const {
    const auto n = static_cast<long long>(packet);
    // Whole seconds and the rest apart, so that no product can overflow; rounded up, so that a packet
    // is never reported due (untilNext zero) before due() counts it.
    const auto nanos =
        n / perSecond_ * kNanosPerSecond + (n % perSecond_ * kNanosPerSecond + perSecond_ - 1) / perSecond_;
    return start_ + std::chrono::duration_cast<MonoClock::duration>(std::chrono::nanoseconds(nanos));
}

std::size_t SendPacer::due(MonoClock::time_point now) const {
    if (now < start_) return 0;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_).count();
    const auto seconds = elapsed / kNanosPerSecond;
    const auto rest = elapsed % kNanosPerSecond;
    // Packet 0 is due at the start; packet n once n/rate seconds have passed.
    const auto allowed =
        static_cast<std::size_t>(seconds * perSecond_ + rest * perSecond_ / kNanosPerSecond) + 1;
    return allowed > sent_ ? allowed - sent_ : 0;
}

Milliseconds SendPacer::untilNext(MonoClock::time_point now) const {
    const auto next = dueAt(sent_);
    if (next <= now) return Milliseconds(0);
    return std::chrono::ceil<Milliseconds>(next - now);
}

}  // namespace lm
