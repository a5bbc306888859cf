#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/link/FirmwareVersion.h"
#include "core/link/PasswordPrompt.h"
#include "core/link/SerialLink.h"
#include "core/link/SerialLogin.h"
#include "core/link/TelnetLink.h"
#include "core/platform/NetworkProfile.h"
#include "core/platform/Timing.h"

namespace lm {

// One conversation with one device: the links and the facts learnt about the device in use.
// main() creates exactly one and hands it down; a batch gives each job its own; tests make their own.
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
    const std::string& password() const { return password_; }
    void setPassword(std::string password) { password_ = std::move(password); }
    void resetPassword() { password_ = startPassword_; }
    // The password every login starts from and goes back to: the factory default unless the user
    // gave another for this run.
    void setStartPassword(std::string password) {
        startPassword_ = std::move(password);
        password_ = startPassword_;
    }

    // Logs in over telnet with the session's password, asking through prompt (null: as if
    // cancelled) when allowPrompt is set and the device refuses it. A password that could not be
    // sent safely is never sent: LoginBadPassword.
    LoginResult loginNetwork(const std::string& address, bool allowPrompt, PasswordPrompt* prompt);
    // Logs in on the console of the open serial port with the session's password; see
    // serialConsoleLogin.
    SerialLoginResult loginSerial(PasswordPrompt* prompt, const SerialLoginWatch& watch = {});

    // What the password prompt shows as its site: the address of the device the Setup Wizard's
    // device list chose; empty until then.
    const std::string& siteText() const { return siteText_; }
    void setSiteText(std::string text) { siteText_ = std::move(text); }

    bool connectionIsNetwork() const { return connectionIsNetwork_; }
    // The flag itself, for the Setup Wizard's pages, which choose the link.
    bool& connectionIsNetwork() { return connectionIsNetwork_; }
    void setConnectionIsNetwork(bool network) { connectionIsNetwork_ = network; }

    const std::string& shellPrompt() const { return shellPrompt_; }
    void setShellPrompt(std::string prompt) { shellPrompt_ = std::move(prompt); }

    // Output lines of the last command or file read; the lines of the next file to write.
    const std::vector<std::string>& remoteLines() const { return remoteLines_; }
    std::vector<std::string>& remoteLines() { return remoteLines_; }

    const FirmwareVersion& firmware() const { return firmware_; }
    void setFirmware(FirmwareVersion version) { firmware_ = version; }

    TelnetLink& telnet() { return telnet_; }
    SerialLink& serial() { return serial_; }

    // One conversation at a time: a worker holds a Claim while it talks to the device. A second
    // one (a window closed while its worker runs on, then opened again) waits up to `wait` and then
    // gets an empty Claim: the link is busy.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim&& other) noexcept : session_(std::exchange(other.session_, nullptr)) {}
        Claim& operator=(Claim&& other) noexcept;
        ~Claim() { release(); }
        bool held() const { return session_ != nullptr; }

    private:
        friend class Session;
        explicit Claim(Session* session) : session_(session) {}
        void release();
        Session* session_ = nullptr;
    };
    Claim claim(Milliseconds wait);
    // Whether a worker holds the session now: a window that would start one at once can say so
    // instead of starting a second.
    bool busy() const;
    static constexpr Milliseconds kClaimWait{10000};
    // What a worker that gets an empty Claim says.
    static constexpr const char* kBusyText =
        "The device link is busy with another operation. Try again when it has finished.";

private:
    NetworkProfile profile_;
    Timing timing_;
    std::string startPassword_ = kDefaultPassword;
    std::string password_ = kDefaultPassword;
    std::string siteText_;
    bool connectionIsNetwork_ = true;
    std::string shellPrompt_;
    std::vector<std::string> remoteLines_;
    FirmwareVersion firmware_;
    mutable std::mutex claimMutex_;
    std::condition_variable claimReleased_;
    bool claimed_ = false;
    TelnetLink telnet_;
    SerialLink serial_;
};

}  // namespace lm
