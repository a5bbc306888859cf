#include <gtest/gtest.h>

#include "core/platform/SendPacer.h"

namespace lm {
namespace {

TEST(SendPacer, SpreadsPacketsEvenly) {
    const auto start = MonoClock::time_point(std::chrono::hours(1));
    const struct {
        int rate;
        long long nowNs;
        std::size_t sent, due;
        long long untilNextMs;
    } cases[] = {
        {2000, 0, 0, 1, 0},          // the first packet goes at once
        {2000, 0, 1, 0, 1},          // the next half a millisecond later, rounded up
        {2000, 10000000, 1, 20, 0},  // after 10 ms, 21 in all
        {1, 2500000000, 3, 0, 500},  // the fourth is due at 3 s
        {3, 333333333, 1, 0, 1},     // moments round up: no wait left only once a packet is due
        {3, 333333334, 1, 1, 0},    {2000, -5000000, 0, 0, 5},  // a clock before the start allows nothing
        {0, 3000000000, 0, 4, 0},                               // a rate below 1 counts as 1
    };
    for (const auto& c : cases) {
        SendPacer pacer(c.rate, start);
        pacer.sent(c.sent);
        const auto now = start + std::chrono::nanoseconds(c.nowNs);
        EXPECT_EQ(pacer.due(now), c.due) << c.rate << " " << c.nowNs;
        EXPECT_EQ(pacer.untilNext(now).count(), c.untilNextMs) << c.rate << " " << c.nowNs;
    }
}

}  // namespace
}  // namespace lm
