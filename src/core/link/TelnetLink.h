#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/link/PasswordPrompt.h"
#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm {

enum LoginResult : int {
    LoginOk = 0,               // logged in; the device showed a shell prompt; link open
    LoginFailed = 1,           // no connection, no conversation in time, or a failed send; link closed
    LoginCancelled = 2,        // password refused and the prompt cancelled; link closed, password reset
    LoginRefusedNoPrompt = 3,  // password refused and prompting not allowed; link still open
    LoginRefused = 4,          // password refused, then the device ended the conversation; link closed
    LoginBadPassword = 5       // the password holds a control character: nothing was sent
};

// Whether a login result means the device refused the password (or the user gave up asking).
constexpr bool isRefusal(LoginResult r) {
    return r == LoginCancelled || r == LoginRefusedNoPrompt || r == LoginRefused;
}

// The network path to a device's shell: one telnet connection that refuses every option,
// hands out text lines and waits for expected text within budgets of turns.
class TelnetLink {
public:
    static constexpr std::size_t kReceiveBlock = 8'096;
    static constexpr const char* kUser = "admin\n";

    TelnetLink(const Timing& timing, uint16_t port);

    // Discards any open connection and connects to address (dotted IPv4, no port). The connect
    // gives up after kConnectTicks, and so does a send the device does not take.
    bool connect(const std::string& address);
    static constexpr int kConnectTicks = 200;  // 10 s, more than a device on the LAN ever needs

    // Connects to address (dotted IPv4, no port) and logs in as admin with currentPassword.
    // When the password is refused and allowPrompt is set, asks through prompt (null: as if
    // cancelled); cancelling resets currentPassword to defaultPassword. A password with a control
    // character is never sent: it would end the line and run the rest as a command.
    LoginResult login(const std::string& address, bool allowPrompt, std::string& currentPassword,
                      PasswordPrompt* prompt, const std::string& defaultPassword);
    bool send(std::string_view text);
    void drain();
    void close();
    bool isOpen() const { return socket_.valid(); }

    // The next line, its "\n" included; a prompt without line end is handed out whole. Empty when
    // nothing arrived within ticks.
    std::string readLine(int ticks);
    // Join readLine pieces up to the line end (or terminator); a line that never ends is handed
    // out in pieces of about 16 KiB.
    std::string readFullLine(int ticks);
    // Like readFullLine, but also ends at the terminator, even when control sequences follow it.
    std::string readUntil(int ticks, std::string_view terminator) { return readUntil(ticks, {terminator}); }
    // The same, ending at whichever terminator comes first.
    std::string readUntil(int ticks, std::initializer_list<std::string_view> terminators);
    // 1-based position of the first pattern found in the transcript, or 0 when the turns ran out.
    int expect(int turns, std::initializer_list<std::string_view> patterns);
    void logout(bool sendQuit);

    // Telnet processing of one received block: text is appended to `text`, the refusals of the
    // options asked for to `answer`. Returns false when the block ends inside a command; the
    // answer gathered from it is then dropped.
    static bool processBlock(std::string_view block, std::string& text, std::string& answer);
    // How many reads the last expect made: its turns, the ones given back included.
    int lastExpectReads() const { return expectReads_; }
    // Whether the last wait was ended by the overall bound (Timing::waitBound) while the device
    // was still sending, and whether the device has closed the connection.
    bool lastWaitCut() const { return waitCut_; }
    bool peerClosed() const { return peerClosed_; }
    // Whether the last connect found nobody to talk to: no route, no listener, or no reply in time.
    bool lastConnectFailed() const { return connectFailed_; }

    // What the last expect read; after a turn without a match, at most 512 characters.
    const std::string& transcript() const { return transcript_; }

    std::string pendingText;  // at most one block's text: it is refilled only when empty

private:
    void receive(int ticks);
    std::string takeLine();

    Timing timing_;  // a copy: callers may pass a temporary
    std::string transcript_;
    uint16_t port_;
    UniqueFd socket_;
    std::array<char, kReceiveBlock> block_{};
    int expectReads_ = 0;
    bool waitCut_ = false;
    bool peerClosed_ = false;
    bool connectFailed_ = false;
};

}  // namespace lm
