#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "core/platform/UniqueFd.h"
#include "devsim/DeviceState.h"

namespace lm::sim {

// A device's serial console on a pseudo-terminal: the PC opens path() as its serial port and meets
// the same shell as over telnet behind a console login. The console keeps its own end of the port
// open, so the PC may close and reopen the port as often as it likes; the session on the console
// lives on in between, as on a real cable. One thread per console.
class SerialConsole {
public:
    explicit SerialConsole(DeviceState& device);
    ~SerialConsole();
    SerialConsole(const SerialConsole&) = delete;
    SerialConsole& operator=(const SerialConsole&) = delete;

    // Creates the pseudo-terminal; false with a reason when it cannot be had.
    bool open(std::string* error);
    const std::string& path() const { return path_; }

    void start();
    // Ends the thread; the device must be halted first so that a running transfer gives up.
    void stop();
    // The device rebooted: the console shows the boot and a fresh login once it is up again.
    void rebooted();

private:
    void run();

    DeviceState& device_;
    UniqueFd master_;
    UniqueFd slave_;  // held open so the PC closing its end never hangs up the console
    UniqueFd wake_;
    std::string path_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> rebooting_{false};
    std::thread thread_;
};

}  // namespace lm::sim
