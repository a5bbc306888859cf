#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "core/discovery/RangeRounds.h"

namespace lm {
namespace {

using namespace std::chrono_literals;

const auto kStart = MonoClock::time_point(std::chrono::hours(1));

std::vector<Ipv4> addresses(std::size_t count) {
    std::vector<Ipv4> list;
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(htonl(static_cast<uint32_t>(0x0a000001 + i)));
    return list;
}

enum class Reply { None, Device, Refusal, EchoOnly };
struct Outcome {
    Reply reply = Reply::None;
    Milliseconds after{0};
};
// What the network does with the probe sent to an address in a round.
using Network = std::function<Outcome(Ipv4 target, int round)>;

struct Run {
    MonoClock::time_point end;
    std::map<Ipv4, int> probes, echoes;
    std::size_t devices = 0;
    int rounds = 0;
};

// Drives the rounds on a clock of its own: hands out the sends, delivers what the network answers
// when it arrives, and jumps ahead by the waits the rounds ask for.
Run drive(RangeRounds& rounds, const Network& network) {
    Run run;
    auto now = kStart;
    std::multimap<MonoClock::time_point, std::pair<Ipv4, Reply>> arrivals;
    for (int turns = 0; turns < 1'000'000; ++turns) {
        while (const auto send = rounds.nextSend(now)) {
            if (send->packet == RangeRounds::Packet::Echo) {
                ++run.echoes[send->target];
                continue;
            }
            ++run.probes[send->target];
            const auto outcome = network(send->target, rounds.round());
            if (outcome.reply != Reply::None)
                arrivals.emplace(now + outcome.after, std::pair{send->target, outcome.reply});
        }
        const auto wait = rounds.wait(now);
        if (!wait) break;
        auto next = now + *wait;
        if (!arrivals.empty() && arrivals.begin()->first < next) next = arrivals.begin()->first;
        now = std::max(now, next);
        while (!arrivals.empty() && arrivals.begin()->first <= now) {
            const auto [target, reply] = arrivals.begin()->second;
            arrivals.erase(arrivals.begin());
            if (reply == Reply::Device) rounds.answered(target, now);
            if (reply == Reply::Refusal) rounds.refused(target, now);
            if (reply == Reply::EchoOnly) rounds.alive(target, now);
        }
    }
    run.end = now;
    run.devices = rounds.devices();
    run.rounds = rounds.round();
    return run;
}

TEST(RangeRounds, WaitsAfterTheLastSendAsLongAsTheSlowestAnswerNeeds) {
    // Ten addresses at 1,000 packets a second: the first round's sends end at 19 ms.
    const struct {
        const char* what;
        Outcome first, others;
        Milliseconds endsAt;
        int rounds;
    } cases[] = {
        // Every address settled: the scan ends with the last answer (probe at 18 ms), not a wait later.
        {"all answer", {Reply::Device, 3ms}, {Reply::Device, 3ms}, 21ms, 1},
        {"all refuse", {Reply::Refusal, 3ms}, {Reply::Refusal, 3ms}, 21ms, 1},
        // One silent address: after each round's last send, twice the slowest round trip, at
        // least the floor; the retry asks the silent one alone.
        {"fast with one silent", {Reply::None}, {Reply::Device, 3ms}, 19ms + 100ms + 0ms + 100ms, 2},
        {"slow with one silent", {Reply::None}, {Reply::Device, 400ms}, 19ms + 800ms + 0ms + 800ms, 2},
        // Round trips beyond half the ceiling: the ceiling.
        {"slower than the ceiling allows", {Reply::None}, {Reply::Device, 3s}, 19ms + 5s + 5s, 2},
        // Only echo replies: a round trip to learn from, but every address is asked again.
        {"hosts without the service",
         {Reply::EchoOnly, 2ms},
         {Reply::EchoOnly, 2ms},
         19ms + 100ms + 9ms + 100ms,
         2},
        // Nothing at all: the ceiling after each of two rounds.
        {"nothing there", {Reply::None}, {Reply::None}, 19ms + 5s + 9ms + 5s, 2},
    };
    for (const auto& c : cases) {
        const auto targets = addresses(10);
        RangeRounds rounds(targets, 1000, 5s, kStart);
        const auto run =
            drive(rounds, [&](Ipv4 target, int) { return target == targets[0] ? c.first : c.others; });
        EXPECT_EQ(run.end - kStart, c.endsAt) << c.what;
        EXPECT_EQ(run.rounds, c.rounds) << c.what;
        // Echo requests go with the first round only; the retry asks only who did not answer.
        EXPECT_EQ(run.echoes.size(), 10u) << c.what;
        for (const auto& [target, echoes] : run.echoes)
            EXPECT_EQ(echoes, 1) << c.what;
        const bool othersSettle = c.others.reply == Reply::Device || c.others.reply == Reply::Refusal;
        EXPECT_EQ(run.probes.at(targets[1]), othersSettle ? 1 : c.rounds) << c.what;
        EXPECT_EQ(run.probes.at(targets[0]), c.rounds) << c.what;
    }
}

TEST(RangeRounds, RetriesUntilNoDeviceIsLikelyMissedAtTenPercentLoss) {
    // 1,000 devices among 3,000 silent addresses, which are asked until the rounds end; each probe
    // and each reply is lost one time in ten (then one in five).
    for (const double loss : {0.0, 0.1, 0.2}) {
        const auto targets = addresses(4000);
        std::mt19937 random(7);
        std::bernoulli_distribution lost(loss);
        RangeRounds rounds(targets, 100'000, 5s, kStart);
        const auto run = drive(rounds, [&](Ipv4 target, int) -> Outcome {
            if (lost(random) || lost(random)) return {};
            if ((ntohl(target) & 3) != 0) return {};
            return {Reply::Device, 1ms};
        });
        EXPECT_EQ(run.devices, 1000u) << loss;
        EXPECT_LE(run.rounds, RangeRounds::kMaxRounds) << loss;
        // Without loss one retry finds nothing new; with loss, as many as the losses seen call for.
        if (loss == 0.0) {
            EXPECT_EQ(run.rounds, 2);
        } else if (loss == 0.1) {
            EXPECT_LT(rounds.expectedMissing(), RangeRounds::kMissTolerance);
        } else {
            // A third of all packets lost: the rounds stop at their most.
            EXPECT_EQ(run.rounds, RangeRounds::kMaxRounds);
        }
        EXPECT_NEAR(rounds.lossEstimate().value_or(0.0), 1 - (1 - loss) * (1 - loss), 0.05) << loss;
    }
}

TEST(RangeRounds, PaceHalvesOnAFullBufferAndGrowsBackToTheMostAllowed) {
    const auto targets = addresses(3000);
    RangeRounds rounds(targets, 1000, 5s, kStart);
    auto now = kStart;
    const auto first = rounds.nextSend(now);
    ASSERT_TRUE(first);
    rounds.sendRefused(now);
    EXPECT_EQ(rounds.rate(), 500);
    // The refused packet goes again, one interval of the slower pace later.
    EXPECT_FALSE(rounds.nextSend(now + 1ms));
    const auto again = rounds.nextSend(now + 2ms);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->target, first->target);
    EXPECT_EQ(again->packet, RangeRounds::Packet::Probe);
    rounds.sendRefused(now);
    rounds.sendRefused(now);
    rounds.sendRefused(now);
    EXPECT_EQ(rounds.rate(), RangeRounds::kMinRate);
    // A second's worth without a refusal doubles the pace, up to the most allowed.
    std::size_t sent = 0;
    for (now = kStart; now < kStart + 10s && rounds.rate() < 1000; now += 1ms)
        while (rounds.rate() < 1000 && rounds.nextSend(now))
            ++sent;
    EXPECT_EQ(rounds.rate(), 1000);
    EXPECT_EQ(sent, 100u + 200u + 400u + 800u);
}

TEST(RangeRounds, EachAddressOnceAndNothingToAskEndsAtOnce) {
    const auto targets = addresses(3);
    RangeRounds rounds({targets[0], targets[1], targets[0], targets[2], targets[1]}, 1000, 5s, kStart);
    const auto run = drive(rounds, [](Ipv4, int) { return Outcome{Reply::Device, 1ms}; });
    EXPECT_EQ(run.probes.size(), 3u);
    EXPECT_EQ(run.devices, 3u);
    // Answers from elsewhere, or a second answer, count for nothing.
    rounds.answered(htonl(0x0b000001), run.end);
    rounds.answered(targets[0], run.end);
    EXPECT_EQ(rounds.devices(), 3u);
    EXPECT_FALSE(rounds.isTarget(htonl(0x0b000001)));

    RangeRounds none({}, 1000, 5s, kStart);
    EXPECT_FALSE(none.nextSend(kStart));
    EXPECT_FALSE(none.wait(kStart));
}

}  // namespace
}  // namespace lm
