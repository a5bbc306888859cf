#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/platform/Ipv4.h"
#include "core/platform/SendPacer.h"
#include "core/platform/Timing.h"

namespace lm {

// The rounds of probes sent one by one to a list of addresses. Unicast probes know whom they asked
// and when, so the wait after a round's last send follows the slowest answer seen instead of a fixed
// quiet period, and addresses that have not answered are asked again until the answers found per
// round say that hardly any device can still be missing. It keeps no clock and opens no socket: the
// caller sends what nextSend() hands out, reports what arrives, and waits as long as wait() says.
class RangeRounds {
public:
    // The wait after a round's last send: kRttFactor times the slowest round trip seen, kept between
    // kFloor and the ceiling (the whole wait while no round trip has been seen).
    static constexpr int kRttFactor = 2;
    static constexpr Milliseconds kFloor{100};
    static constexpr int kMaxRounds = 10;
    // Retries end once fewer devices than this are expected still unanswered.
    static constexpr double kMissTolerance = 0.01;
    // The pace never drops below this, whatever goes wrong.
    static constexpr int kMinRate = 100;
    // A loss estimate above this share halves the pace of the next round: the pace may be the cause.
    static constexpr double kLossyShare = 0.05;

    enum class Packet { Probe, Echo };
    struct Send {
        Ipv4 target = 0;
        Packet packet = Packet::Probe;
    };

    RangeRounds(std::vector<Ipv4> targets, int maxRate, Milliseconds ceiling, MonoClock::time_point now);

    // The packet due now, counted as sent; nullopt when none is due (or the round's sends are over).
    // The first round sends a probe and an echo request to each address; retries, the probe alone.
    std::optional<Send> nextSend(MonoClock::time_point now);
    // The last packet handed out could not be sent for want of buffer space: it is handed out
    // again, and the pace halves.
    void sendRefused(MonoClock::time_point now);

    bool isTarget(Ipv4 address) const { return index_.contains(address); }
    // A discovery reply came: the address is a device and is not asked again.
    void answered(Ipv4 from, MonoClock::time_point now);
    // An echo reply came: the host is up (a round trip to learn from), but only a reply is an answer.
    void alive(Ipv4 from, MonoClock::time_point now);
    // The probe was refused (port unreachable): no device there, so it is not asked again.
    void refused(Ipv4 to, MonoClock::time_point now);

    // How long the caller may wait for arrivals before asking for sends again (zero: a send is due);
    // nullopt once the last round has ended. Starts the next round when this one is over.
    std::optional<Milliseconds> wait(MonoClock::time_point now);

    int round() const { return round_; }
    int rate() const { return rate_; }
    // The wait after a round's last send, as the round trips seen so far make it.
    Milliseconds bound() const;
    std::size_t devices() const;
    // What the answers per round say about the share of probes or replies that were lost.
    std::optional<double> lossEstimate() const;
    // Devices expected still unanswered after the rounds so far.
    double expectedMissing() const;

private:
    enum class State { Asking, Answered, Refused };
    struct Target {
        Ipv4 address = 0;
        State state = State::Asking;
        MonoClock::time_point sentAt{};
    };

    Target* find(Ipv4 address);
    void learn(Target& target, MonoClock::time_point now);
    void settle(Target& target, State state);
    // Moves past addresses settled since the round began; true when sends of the round remain.
    bool skipSettled();
    bool roundOver(MonoClock::time_point now) const;
    bool anotherRound() const;
    void startRound(MonoClock::time_point now);

    std::vector<Target> targets_;
    std::unordered_map<Ipv4, std::size_t> index_;
    int maxRate_;
    int rate_;
    Milliseconds ceiling_;
    SendPacer pacer_;
    int round_ = 1;
    std::vector<std::size_t> asking_;  // this round's addresses, in sending order
    std::size_t packetsSent_ = 0;      // of this round
    std::size_t sentAtRate_ = 0;       // packets sent since the pace last changed
    std::size_t unsettled_ = 0;        // addresses still asked
    MonoClock::time_point lastSend_{};
    std::optional<Milliseconds> slowest_;
    std::vector<std::size_t> foundPerRound_;
    bool over_ = false;
};

}  // namespace lm
