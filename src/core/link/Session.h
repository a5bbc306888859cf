#pragma once

#include <string>
#include <vector>

#include "link/SerialLink.h"
#include "link/TelnetLink.h"
#include "platform/NetworkProfile.h"
#include "platform/Timing.h"

namespace lm {

// The one device session of a process: the links and the facts learnt about the device in use.
// main() creates exactly one and hands it down; tests make their own.
class Session {
public:
    static constexpr const char* kDefaultPassword = "vorna";

    explicit Session(NetworkProfile profile = {}, Timing timing = {},
                     SerialPortMap serialPorts = SerialPortMap::standard());
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const NetworkProfile& profile() const { return profile_; }
    const Timing& timing() const { return timing_; }

    // The admin password for the next login; never written anywhere.
    std::string currentPassword = kDefaultPassword;
    void resetPassword() { currentPassword = kDefaultPassword; }

    bool connectionIsNetwork = true;
    std::string shellPrompt;
    std::vector<std::string> remoteLineBuffer;
    bool configDependSupported = false;
    bool catWriteSupported = false;
    int firmwareMajor = 0;
    int firmwareMinor = 0;
    int firmwarePatch = 0;

private:
    NetworkProfile profile_;
    Timing timing_;

public:
    // The links, built with the session's timing and ports.
    TelnetLink telnet;
    SerialLink serial;
};

}  // namespace lm
