#include <gtest/gtest.h>

#include "platform/SendPacer.h"

namespace lm {
namespace {

TEST(SendPacer, SpreadsPacketsEvenly) {
    const auto start = MonoClock::time_point(std::chrono::hours(1));
    const auto at = [&](long long us) { return start + std::chrono::microseconds(us); };
    const struct {
        int rate;
        long long nowUs;
        std::size_t sentBefore;
        std::size_t due;
        long long untilNextMs;
    } cases[] = {
        {2000, 0, 0, 1, 0},       // the first packet goes at once
        {2000, 0, 1, 0, 1},       // the next one half a millisecond later, rounded up
        {2000, 10000, 1, 20, 0},  // after 10 ms, 21 in all
        {1, 2500000, 0, 3, 0},    // whole seconds
        {1, 2500000, 3, 0, 500},  // the fourth is due at 3 s
        {100000, 1000000, 0, 100001, 0},
        {2000, -5000, 0, 0, 5},  // a clock before the start allows nothing
        {0, 3000000, 0, 4, 0},   // a rate below 1 counts as 1
    };
    for (const auto& c : cases) {
        SendPacer pacer(c.rate, start);
        pacer.sent(c.sentBefore);
        EXPECT_EQ(pacer.due(at(c.nowUs)), c.due) << c.rate << " " << c.nowUs;
        EXPECT_EQ(pacer.untilNext(at(c.nowUs)).count(), c.untilNextMs) << c.rate << " " << c.nowUs;
    }
}

// Around each packet's moment, whenever no wait is left a packet is due: the send loop never spins.
TEST(SendPacer, NoWaitLeftMeansAPacketIsDue) {
    const auto start = MonoClock::time_point(std::chrono::hours(1));
    for (const long long rate : {3, 7, 2000, 99991}) {
        for (long long n = 1; n < 200; ++n) {
            SendPacer pacer(static_cast<int>(rate), start);
            pacer.sent(static_cast<std::size_t>(n));
            const auto moment = start + std::chrono::nanoseconds(n * 1000000000 / rate);
            for (const auto now : {moment, moment + std::chrono::nanoseconds(1)})
                EXPECT_TRUE(pacer.untilNext(now).count() > 0 || pacer.due(now) >= 1) << rate << " " << n;
        }
    }
}

TEST(SendPacer, HoursOfPacketsDoNotOverflow) {
    const auto start = MonoClock::time_point(std::chrono::hours(1));
    SendPacer pacer(100000, start);
    EXPECT_EQ(pacer.due(start + std::chrono::hours(24 * 365)), 100000ull * 3600 * 24 * 365 + 1);
}

}  // namespace
}  // namespace lm
