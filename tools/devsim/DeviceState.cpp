#include "devsim/DeviceState.h"

#include <algorithm>

namespace lm::sim {

namespace {

template <typename T>
void keep(std::deque<T>& log, T entry) {
    log.push_back(std::move(entry));
    if (log.size() > DeviceState::kMaxRecords) log.pop_front();
}

}  // namespace

DeviceState::DeviceState(const DeviceConfig& config, uint16_t tftpPort)
    : config_(config), tftpPort_(tftpPort), files_(factoryFiles(config)), address_(config.address) {}

void DeviceState::onReboot(std::function<void()> listener) {
    rebootListeners_.push_back(std::move(listener));
}

void DeviceState::reboot() {
    {
        std::lock_guard lock(mutex_);
        downUntil_ = MonoClock::now() + Milliseconds(config_.shell.rebootDelayMs);
    }
    reboots_.fetch_add(1);
    files_.restart();
    clockOffset_.store(0);
    for (const auto& listener : rebootListeners_)
        listener();
}

bool DeviceState::up() const {
    std::lock_guard lock(mutex_);
    return MonoClock::now() >= downUntil_;
}

Milliseconds DeviceState::downRemaining() const {
    std::lock_guard lock(mutex_);
    const auto left = downUntil_ - MonoClock::now();
    return left > MonoClock::duration::zero() ? std::chrono::ceil<Milliseconds>(left) : Milliseconds(0);
}

bool DeviceState::waitUntilUp(Milliseconds limit) const {
    std::unique_lock lock(mutex_);
    const auto giveUp = MonoClock::now() + limit;
    while (!halted_.load()) {
        const auto now = MonoClock::now();
        if (now >= downUntil_) return true;
        if (now >= giveUp) return false;
        changed_.wait_until(lock, std::min(downUntil_, giveUp));
    }
    return false;
}

void DeviceState::halt() {
    {
        std::lock_guard lock(mutex_);
        halted_.store(true);
    }
    changed_.notify_all();
}

bool DeviceState::pause(Milliseconds time) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return halted_.load(); });
}

void DeviceState::recordCommand(std::string line) {
    std::lock_guard lock(mutex_);
    keep(commands_, std::move(line));
}

void DeviceState::recordWrite(FileWrite write) {
    std::lock_guard lock(mutex_);
    keep(writes_, std::move(write));
}

void DeviceState::recordFlash(FlashRecord flash) {
    std::lock_guard lock(mutex_);
    keep(flashes_, std::move(flash));
}

void DeviceState::countLogin(bool accepted) {
    (accepted ? logins_ : refusedLogins_).fetch_add(1);
}

std::vector<std::string> DeviceState::commands() const {
    std::lock_guard lock(mutex_);
    return {commands_.begin(), commands_.end()};
}

std::vector<FileWrite> DeviceState::writes() const {
    std::lock_guard lock(mutex_);
    return {writes_.begin(), writes_.end()};
}

std::vector<FlashRecord> DeviceState::flashes() const {
    std::lock_guard lock(mutex_);
    return {flashes_.begin(), flashes_.end()};
}

}  // namespace lm::sim
