#pragma once

#include <string>

#include "link/Session.h"

namespace lm {

// The shell operations on a logged-in device, each in a network and a serial form chosen by
// session.connectionIsNetwork. Results: 0 success, 1 link failure or time-out, 2 refused by the device.
class DeviceSession {
public:
    // Output beyond this ends a command as a failure: a device that never stops cannot fill memory.
    static constexpr std::size_t kMaxOutputBytes = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxOutputLines = 100000;

    explicit DeviceSession(Session& session) : s_(session) {}

    void Logout(bool sendQuit);
    void Reboot();
    int SaveConfig();
    int EnterNsh(bool& rootPrompt);
    int ProbeConfigTool(bool& hasDepend);
    std::string ReadPrompt();
    int RunCommand(const std::string& command);
    int ReadRemoteFile(const std::string& path);
    // Writes session.remoteLineBuffer, each line followed by "\n", into path, then checks that
    // "ls " + listingArgument shows expected.
    int WriteRemoteFile(const std::string& path, const std::string& listingArgument,
                        const std::string& expected);

    // Takes the prompt that the login just ended on as shellPrompt ("> " or "# "; empty when none
    // was seen), so the first command need not ask the device for it again.
    void adoptLoginPrompt();

    // A line holding the shell prompt with nothing after its first occurrence.
    bool isPromptLine(const std::string& line) const;

private:
    bool network() const { return s_.connectionIsNetwork; }
    // Sends on the active link.
    bool send(const std::string& text);
    // Appends a line of output unless the output has grown past its bound.
    bool keep(std::string line, std::size_t& total);
    bool writeAttemptOverNetwork(const std::string& path, const std::string& listingArgument,
                                 const std::string& expected);
    int writeOverSerial(const std::string& path, const std::string& listingArgument,
                        const std::string& expected);

    Session& s_;
};

}  // namespace lm
