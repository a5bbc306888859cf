#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>

#include "platform/UniqueFd.h"

namespace lm::test {

// Plays a device's console on the master side of a pty; the link under test opens the slave path.
class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& path() const { return path_; }
    // A second handle on the tty itself, for looking at the line settings the link applied.
    int slaveFd() const { return slave_.get(); }

    void send(std::string_view bytes);
    // Sends the bytes from a thread once the time has passed: a device that goes quiet, then talks.
    void sendLater(std::string bytes, std::chrono::milliseconds after);
    // Sends the unit over and over from a thread until stopFlood() or the end of the device.
    void startFlood(std::string unit);
    void stopFlood();
    // Reads what the link wrote until count bytes came; stops early when nothing comes for a while.
    std::string receive(std::size_t count);
    // The device's side of the cable goes away from a thread once the time has passed.
    void hangUpLater(std::chrono::milliseconds after);

private:
    UniqueFd master_;
    UniqueFd slave_;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread later_;
    std::thread flood_;
};

}  // namespace lm::test
