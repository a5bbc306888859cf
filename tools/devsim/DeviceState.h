#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/Timing.h"
#include "devsim/DeviceConfig.h"
#include "devsim/VirtualFileSystem.h"

namespace lm::sim {

// A file written through the shell ("vi" or "cat"), as the session left it.
struct FileWrite {
    std::string path;
    std::string content;
    std::string tool;  // "vi" or "cat"
    bool operator==(const FileWrite&) const = default;
};

// One run of the flash tool.
struct FlashRecord {
    std::string server;  // as typed
    std::string file;
    std::string rom;  // the -r device
    uint64_t bytes = 0;
    uint32_t crc32 = 0;
    bool complete = false;
    std::string error;
};

// What every session and the console of one device share: its files, its power state, its
// stop flag and what tests want to look at afterwards. Safe to use from several threads.
class DeviceState {
public:
    static constexpr std::size_t kMaxRecords = 1000;  // older entries of each log are dropped

    DeviceState(const DeviceConfig& config, uint16_t tftpPort);
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;

    const DeviceConfig& config() const { return config_; }
    uint16_t tftpPort() const { return tftpPort_; }
    VirtualFileSystem& files() { return files_; }
    const VirtualFileSystem& files() const { return files_; }
    // Where the device is now: its configured address until a reboot moves it.
    Ipv4 address() const { return address_.load(); }
    void setAddress(Ipv4 address) { address_.store(address); }

    // Power: a reboot drops every session at once (through the listeners), keeps the device away for
    // its reboot delay and restarts its files.
    void onReboot(std::function<void()> listener);  // before any session starts
    void reboot();
    bool up() const;
    Milliseconds downRemaining() const;
    // Waits until the device is back; false when halted or when the time ran out first.
    bool waitUntilUp(Milliseconds limit) const;

    // Stopping: every wait of the device's threads ends early.
    void halt();
    bool halted() const { return halted_.load(); }
    // Waits the given time unless halted; false when halted.
    bool pause(Milliseconds time) const;

    // Seconds added to the system clock by "date -s".
    long long clockOffset() const { return clockOffset_.load(); }
    void setClockOffset(long long seconds) { clockOffset_.store(seconds); }

    void recordCommand(std::string line);
    void recordWrite(FileWrite write);
    void recordFlash(FlashRecord flash);
    void countLogin(bool accepted);
    void countSession() { sessions_.fetch_add(1); }

    std::vector<std::string> commands() const;
    std::vector<FileWrite> writes() const;
    std::vector<FlashRecord> flashes() const;
    uint64_t logins() const { return logins_.load(); }
    uint64_t refusedLogins() const { return refusedLogins_.load(); }
    uint64_t sessions() const { return sessions_.load(); }
    uint64_t reboots() const { return reboots_.load(); }

private:
    const DeviceConfig& config_;
    uint16_t tftpPort_;
    VirtualFileSystem files_;
    std::atomic<Ipv4> address_;
    std::vector<std::function<void()>> rebootListeners_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    MonoClock::time_point downUntil_{};
    std::atomic<bool> halted_{false};
    std::atomic<long long> clockOffset_{0};
    std::deque<std::string> commands_;
    std::deque<FileWrite> writes_;
    std::deque<FlashRecord> flashes_;
    std::atomic<uint64_t> logins_{0}, refusedLogins_{0}, sessions_{0}, reboots_{0};
};

}  // namespace lm::sim
