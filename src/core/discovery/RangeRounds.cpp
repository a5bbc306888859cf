#include "core/discovery/RangeRounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace lm {

RangeRounds::RangeRounds(std::vector<Ipv4> targets, int maxRate, Milliseconds ceiling,
                         MonoClock::time_point now)
    : maxRate_(std::max(maxRate, 1)), rate_(maxRate_), ceiling_(ceiling), pacer_(rate_, now) {
    targets_.reserve(targets.size());
    for (const Ipv4 address : targets)
        if (index_.emplace(address, targets_.size()).second) targets_.push_back(Target{address});
    asking_.resize(targets_.size());
    std::iota(asking_.begin(), asking_.end(), std::size_t{0});
    unsettled_ = targets_.size();
    foundPerRound_.push_back(0);
    over_ = targets_.empty();
}

RangeRounds::Target* RangeRounds::find(Ipv4 address) {
    const auto it = index_.find(address);
    return it == index_.end() ? nullptr : &targets_[it->second];
}

bool RangeRounds::skipSettled() {
    const std::size_t perTarget = round_ == 1 ? 2 : 1;
    // A target is skipped only before its first packet of the round: an echo follows its probe.
    while (packetsSent_ < asking_.size() * perTarget && packetsSent_ % perTarget == 0 &&
           targets_[asking_[packetsSent_ / perTarget]].state != State::Asking)
        packetsSent_ += perTarget;
    return packetsSent_ < asking_.size() * perTarget;
}

std::optional<RangeRounds::Send> RangeRounds::nextSend(MonoClock::time_point now) {
    if (over_ || !skipSettled() || pacer_.due(now) == 0) return std::nullopt;
    const std::size_t perTarget = round_ == 1 ? 2 : 1;
    Target& target = targets_[asking_[packetsSent_ / perTarget]];
    const bool echo = packetsSent_ % perTarget == 1;
    if (!echo) target.sentAt = now;
    ++packetsSent_;
    pacer_.sent(1);
    lastSend_ = now;
    // A second's worth sent without a refusal: the pace may grow back towards the most allowed.
    if (++sentAtRate_ >= static_cast<std::size_t>(rate_) && rate_ < maxRate_) {
        rate_ = std::min(maxRate_, rate_ * 2);
        pacer_ = SendPacer(rate_, now);
        sentAtRate_ = 0;
    }
    return Send{target.address, echo ? Packet::Echo : Packet::Probe};
}

void RangeRounds::sendRefused(MonoClock::time_point now) {
    if (packetsSent_ > 0) --packetsSent_;
    rate_ = std::max(kMinRate, rate_ / 2);
    // The buffer needs time to drain: the packet is due again one interval from now.
    pacer_ = SendPacer(rate_, now + std::chrono::ceil<MonoClock::duration>(std::chrono::seconds(1)) / rate_);
    sentAtRate_ = 0;
}

void RangeRounds::learn(Target& target, MonoClock::time_point now) {
    if (target.sentAt == MonoClock::time_point{} || now < target.sentAt) return;
    const auto rtt = std::chrono::ceil<Milliseconds>(now - target.sentAt);
    slowest_ = std::max(slowest_.value_or(Milliseconds(0)), rtt);
}

void RangeRounds::settle(Target& target, State state) {
    if (target.state != State::Asking) return;
    target.state = state;
    --unsettled_;
    if (state == State::Answered) ++foundPerRound_.back();
}

void RangeRounds::answered(Ipv4 from, MonoClock::time_point now) {
    if (Target* target = find(from)) {
        learn(*target, now);
        settle(*target, State::Answered);
    }
}

void RangeRounds::alive(Ipv4 from, MonoClock::time_point now) {
    if (Target* target = find(from)) learn(*target, now);
}

void RangeRounds::refused(Ipv4 to, MonoClock::time_point now) {
    if (Target* target = find(to)) {
        learn(*target, now);
        settle(*target, State::Refused);
    }
}

Milliseconds RangeRounds::bound() const {
    if (!slowest_) return ceiling_;
    return std::clamp(*slowest_ * kRttFactor, std::min(kFloor, ceiling_), ceiling_);
}

std::size_t RangeRounds::devices() const {
    return std::accumulate(foundPerRound_.begin(), foundPerRound_.end(), std::size_t{0});
}

std::optional<double> RangeRounds::lossEstimate() const {
    if (foundPerRound_.size() < 2) return std::nullopt;
    // Each round finds the same share of the devices still missing, so the devices found by a round
    // over those found by the round before is the share lost per round.
    const double late = static_cast<double>(
        std::accumulate(foundPerRound_.begin() + 1, foundPerRound_.end(), std::size_t{0}));
    const double before = static_cast<double>(
        std::accumulate(foundPerRound_.begin(), foundPerRound_.end() - 1, std::size_t{0}));
    if (before == 0) return late == 0 ? std::nullopt : std::optional<double>(1.0);
    return std::min(1.0, late / before);
}

double RangeRounds::expectedMissing() const {
    const auto loss = lossEstimate();
    if (!loss) return foundPerRound_.size() < 2 ? std::numeric_limits<double>::infinity() : 0.0;
    if (*loss >= 1.0) return std::numeric_limits<double>::infinity();
    // After r rounds a device stays unanswered with probability loss^r.
    const double missed = std::pow(*loss, static_cast<double>(round_));
    return static_cast<double>(devices()) * missed / (1.0 - missed);
}

bool RangeRounds::roundOver(MonoClock::time_point now) const {
    return unsettled_ == 0 || now >= lastSend_ + bound();
}

bool RangeRounds::anotherRound() const {
    return unsettled_ > 0 && round_ < kMaxRounds && expectedMissing() >= kMissTolerance;
}

void RangeRounds::startRound(MonoClock::time_point now) {
    const auto loss = lossEstimate();
    if (loss && *loss > kLossyShare) rate_ = std::max(kMinRate, rate_ / 2);
    ++round_;
    asking_.clear();
    for (std::size_t i = 0; i < targets_.size(); ++i)
        if (targets_[i].state == State::Asking) asking_.push_back(i);
    packetsSent_ = 0;
    sentAtRate_ = 0;
    pacer_ = SendPacer(rate_, now);
    foundPerRound_.push_back(0);
}

std::optional<Milliseconds> RangeRounds::wait(MonoClock::time_point now) {
    if (over_) return std::nullopt;
    if (skipSettled()) return pacer_.untilNext(now);
    if (!roundOver(now))
        return std::max(Milliseconds(1), std::chrono::ceil<Milliseconds>(lastSend_ + bound() - now));
    if (!anotherRound()) {
        over_ = true;
        return std::nullopt;
    }
    startRound(now);
    return Milliseconds(0);
}

}  // namespace lm
