#pragma once

#include <chrono>

namespace lm {

using Milliseconds = std::chrono::milliseconds;
using MonoClock = std::chrono::steady_clock;

// Every wait and pause of the device conversations goes through one Timing, so tests can run the
// same state machines fast. Waits are counted in ticks and turns; pauses are scaled.
struct Timing {
    Milliseconds tick{50};             // one turn of a link's wait loop
    Milliseconds serialByteWait{300};  // a serial read of one byte
    double pauseScale = 1.0;           // applied to every pause
    // No single wait for device output lasts longer than this, whatever arrives meanwhile: a
    // device that talks without end, or trickles a byte now and then, cannot hold a worker.
    Milliseconds waitBound{60000};

    // Sleeps for the given product pause, scaled.
    void pause(Milliseconds product) const;
    Milliseconds scaled(Milliseconds product) const;

    // A Timing for tests: short ticks, pauses a hundredth as long.
    static Timing fast();
};

// A point in monotonic time after which a wait gives up.
class Deadline {
public:
    explicit Deadline(Milliseconds budget) : end_(MonoClock::now() + budget) {}
    bool expired() const { return MonoClock::now() >= end_; }
    // Milliseconds left, never negative; rounds up so a wait never spins at zero too early.
    int remainingMs() const;

private:
    MonoClock::time_point end_;
};

}  // namespace lm
