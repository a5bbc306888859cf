// The login conversation against scripted devices.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/link/TelnetLink.h"
#include "support/LoopbackPeer.h"
#include "support/ScriptedPrompt.h"

namespace lm {
namespace {

using test::Conversation;
using test::LoopbackPeer;
using test::ScriptedPrompt;

const std::string kDefault = "vorna";

// The device's side up to the password it receives.
bool askLogin(Conversation& c, const std::string& password) {
    return c.send("\r\nlogin: ") && c.expect("admin\n") && c.send("Password: ") && c.expect(password + "\n");
}

// The device refuses `password` and comes back to its login prompt.
bool refuse(Conversation& c, const std::string& password) {
    return askLogin(c, password) && c.send("\r\nLogin incorrect\r\n\r\nlogin: ");
}

const Timing kTiming = Timing::fast();

struct Attempt {
    std::string password = "wrong";
    ScriptedPrompt prompt;
    TelnetLink link;
    explicit Attempt(uint16_t port, std::vector<std::optional<std::string>> answers = {})
        : prompt(std::move(answers)), link(kTiming, port) {}
    LoginResult login(bool allowPrompt) {
        return link.login("127.0.0.1", allowPrompt, password, &prompt, kDefault);
    }
};

TEST(TelnetLoginTest, ShellPromptLogsIn) {
    for (const std::string shell : {"> ", "# "}) {
        LoopbackPeer peer([&shell](Conversation& c) {
            if (askLogin(c, "wrong")) c.send("\r\nuClinux\r\n" + shell);
            c.holdUntilClosed();
        });
        Attempt a(peer.port());
        EXPECT_EQ(a.login(true), LoginOk);
        EXPECT_TRUE(a.link.isOpen());
        EXPECT_TRUE(a.link.transcript().ends_with(shell));
        a.link.close();
        EXPECT_TRUE(peer.finish().empty());
        EXPECT_EQ(peer.received(), "admin\nwrong\n");
        EXPECT_TRUE(a.prompt.shown.empty());
    }
}

// An empty answer is asked for again; the accepted one is sent after the device's login prompt,
// "admin" and a new password prompt: a login program drops what is typed before it asks.
TEST(TelnetLoginTest, RefusedPasswordAsksAndWaitsForThePromptsAgain) {
    LoopbackPeer peer([](Conversation& c) {
        if (!askLogin(c, "wrong") || !c.send("\r\nLogin incorrect\r\n")) return;
        if (!c.quiet(std::chrono::milliseconds(100))) c.fail("user name sent before the login prompt");
        if (!c.send("\r\nlogin: ") || !c.expect("admin\n")) return;
        // Nothing may come before the device asks for the password.
        if (!c.quiet(std::chrono::milliseconds(100))) c.fail("password sent before the prompt");
        if (c.send("Password: ") && c.expect("secret\n")) c.send("# ");
        c.holdUntilClosed();
    });
    Attempt a(peer.port(), {"", "secret"});
    EXPECT_EQ(a.login(true), LoginOk);
    EXPECT_EQ(a.prompt.shown, (std::vector<std::string>{"wrong", ""}));
    EXPECT_EQ(a.password, "secret");
    a.link.close();
    EXPECT_TRUE(peer.finish().empty());
    EXPECT_EQ(peer.received(), "admin\nwrong\nadmin\nsecret\n");
}

TEST(TelnetLoginTest, CancelClosesAndRestoresTheDefaultPassword) {
    for (const bool withPrompt : {true, false}) {
        LoopbackPeer peer([](Conversation& c) {
            refuse(c, "wrong");
            c.holdUntilClosed();
        });
        Attempt a(peer.port(), {std::nullopt});
        const auto result =
            a.link.login("127.0.0.1", true, a.password, withPrompt ? &a.prompt : nullptr, kDefault);
        EXPECT_EQ(result, LoginCancelled);
        EXPECT_FALSE(a.link.isOpen());
        EXPECT_EQ(a.password, kDefault);
        EXPECT_EQ(a.prompt.shown.size(), withPrompt ? 1u : 0u);
        EXPECT_TRUE(peer.finish().empty());
    }
}

// Without prompting: a refusal leaves the link open at the device's login prompt; an answer that is
// not recognised is a refusal once the device shows "login:", perhaps after an extra line end.
TEST(TelnetLoginTest, WithoutPrompting) {
    const struct {
        const char* name;
        std::string deviceAnswer;  // after the password, followed by silence
        bool bringsBackLogin;      // the device shows "login: " after an empty line
        LoginResult result;
        std::string received;
    } cases[] = {
        {"login incorrect", "\r\nLogin incorrect\r\n\r\nlogin: ", false, LoginRefusedNoPrompt,
         "admin\nwrong\n"},
        {"nothing, then login after a line end", "", true, LoginRefusedNoPrompt, "admin\nwrong\n\n"},
        {"login prompt already shown", "\r\nlogin: ", false, LoginRefusedNoPrompt, "admin\nwrong\n"},
        {"nothing at all", "\r\n", false, LoginFailed, "admin\nwrong\n\n"},
    };
    for (const auto& p : cases) {
        SCOPED_TRACE(p.name);
        LoopbackPeer peer([&p](Conversation& c) {
            if (askLogin(c, "wrong") && c.send(p.deviceAnswer) && p.bringsBackLogin && c.expect("\n"))
                c.send("login: ");
            c.holdUntilClosed();
        });
        Attempt a(peer.port(), {"secret"});
        EXPECT_EQ(a.login(false), p.result);
        EXPECT_EQ(a.link.isOpen(), p.result == LoginRefusedNoPrompt);
        EXPECT_TRUE(a.prompt.shown.empty());
        EXPECT_EQ(a.password, "wrong");
        a.link.close();
        peer.finish();
        EXPECT_EQ(peer.received(), p.received);
    }
}

// A device that leaves the login fails it; one that hangs up after refusing has answered: the
// password was refused, not "no answer".
TEST(TelnetLoginTest, DeviceLeavingTheConversation) {
    // No login prompt; no password prompt; a line end, then the close; a refusal, then the close.
    const std::vector<std::pair<LoopbackPeer::Script, LoginResult>> devices = {
        {[](Conversation& c) { c.send("Welcome\r\n") && c.holdUntilClosed(); }, LoginFailed},
        {[](Conversation& c) { c.send("login: ") && c.expect("admin\n") && c.holdUntilClosed(); },
         LoginFailed},
        {[](Conversation& c) { askLogin(c, "wrong") && c.send("\r\n"); }, LoginFailed},
        {[](Conversation& c) { askLogin(c, "wrong") && c.send("\r\nLogin incorrect\r\n"); }, LoginRefused},
    };
    for (const auto& [device, result] : devices) {
        LoopbackPeer peer(device);
        Attempt a(peer.port(), {"secret"});
        EXPECT_EQ(a.login(true), result);
        EXPECT_FALSE(a.link.isOpen());
        EXPECT_TRUE(peer.finish().empty());
    }
}

TEST(TelnetLoginTest, NoConnectionFails) {
    // An address that is not one fails before connecting.
    LoopbackPeer listener;
    for (const char* address : {"127.0.0", "localhost", ""}) {
        SCOPED_TRACE(address);
        Attempt a(listener.port());
        EXPECT_EQ(a.link.login(address, true, a.password, &a.prompt, kDefault), LoginFailed);
        EXPECT_FALSE(a.link.isOpen());
    }
    EXPECT_EQ(listener.taken(), 0);

    // A full backlog drops further handshakes, as an unreachable device would.
    LoopbackPeer full(0);
    const auto filler = test::Conversation::connect(htonl(INADDR_LOOPBACK), full.port());
    ASSERT_TRUE(filler.valid());
    Attempt a(full.port());
    EXPECT_EQ(a.login(true), LoginFailed);
    EXPECT_FALSE(a.link.isOpen());
}

}  // namespace
}  // namespace lm
