#pragma once

#include <cstddef>

#include "core/platform/Timing.h"

namespace lm {

// Spreads packets evenly at a fixed rate: packet n is due n/rate seconds after the start. It keeps
// no clock of its own; the caller says what time it is, so tests can drive it.
class SendPacer {
public:
    SendPacer(int perSecond, MonoClock::time_point start);

    // Packets due by `now` that have not been counted as sent yet.
    std::size_t due(MonoClock::time_point now) const;
    void sent(std::size_t count) { sent_ += count; }
    // How long from `now` until the next packet is due, rounded up; zero when one is due already.
    Milliseconds untilNext(MonoClock::time_point now) const;

private:
    MonoClock::time_point dueAt(std::size_t packet) const;

    long long perSecond_;
    MonoClock::time_point start_;
    std::size_t sent_ = 0;
};

}  // namespace lm
