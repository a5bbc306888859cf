#include <gtest/gtest.h>

#include <random>

#include "core/platform/Ipv4.h"
#include "devsim/Shell.h"

namespace lm::sim {
namespace {

class Screen : public Terminal {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// One shell on a device of its own, driven byte for byte without sockets.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        config_ = modelDevice(0xC8);  // a ZelvixXL
        config_.mac = {0x02, 0x4C, 0x55, 0xC8, 0x12, 0x34};
        config_.address = *parseIpv4("127.0.2.1");
    }

    Shell& shell(Shell::Kind kind = Shell::Kind::Telnet) {
        state_ = std::make_unique<DeviceState>(config_, 69);
        shell_ = std::make_unique<Shell>(*state_, screen_, kind);
        return *shell_;
    }

    // What the device shows in answer to the typed bytes.
    std::string type(std::string_view bytes) {
        screen_.text.clear();
        shell_->feed(bytes);
        return screen_.text;
    }

    void loggedIn() {
        shell().showLogin();
        type("admin\nvorna\n");
        EXPECT_TRUE(shell_->loggedIn());
    }

    DeviceConfig config_;
    std::unique_ptr<DeviceState> state_;
    Screen screen_;
    std::unique_ptr<Shell> shell_;
};

TEST_F(ShellTest, LoginConversation) {
    shell().showLogin();
    EXPECT_EQ(screen_.text, "\r\nzelvixxl login: ");
    // A telnet client ends lines with CR LF or CR NUL; each is one line end.
    EXPECT_EQ(type("admin\r\n"), "admin\r\nPassword: ");
    EXPECT_EQ(type("secret\r"), "\r\nLogin incorrect\r\n\r\nzelvixxl login: ");
    EXPECT_EQ(type(std::string("\0", 1)), "");
    EXPECT_EQ(type("\n"), "\r\n\r\nzelvixxl login: ");  // an empty user name asks again
    EXPECT_EQ(type("root\n"), "root\r\nPassword: ");
    EXPECT_EQ(type("vorna\n"), "\r\nLogin incorrect\r\n\r\nzelvixxl login: ");  // only admin may log in
    type("admin\n");
    const std::string welcome = type("vorna\n");
    ASSERT_TRUE(welcome.ends_with("\r\n> ")) << welcome;
    // The banner itself holds nothing that reads as a prompt.
    EXPECT_EQ(welcome.find("> "), welcome.size() - 2);
    EXPECT_EQ(welcome.find("# "), std::string::npos);
    EXPECT_EQ(state_->logins(), 1u);
    EXPECT_EQ(state_->refusedLogins(), 2u);
}

TEST_F(ShellTest, CommandsAnswerWithTheDevicesTexts) {
    struct Case {
        std::string typed;
        std::string output;  // between the echo line and the prompt
    };
    const std::vector<Case> cases{
        {"", ""},
        {"frobnicate now", "frobnicate now: Bad command\r\n"},
        {"cat /etc/version", "Lumetra ZelvixXL version 4.2.1\r\n"},
        {"cat /etc/config/nothing", "cat: /etc/config/nothing: Invalid argument\r\n"},
        {"cat /etc", "cat: /etc: Is a directory\r\n"},
        {"ls /nowhere", "ls: /nowhere: No such file or directory\r\n"},
        {"ls -l /etc/version", "-rw-r--r--    1 admin    root           31 Mar  3 10:12 /etc/version\r\n"},
        {"mv /var/tmp/x /etc/config/", "mv: unable to rename `/var/tmp/x': No such file or directory\r\n"},
        {"rm -f /var/tmp/x", ""},
        {"date -s \"March 05 14:07:09  2026\"", "Thu Mar  5 14:07:09 UTC 2026\r\n"},
        {"date -s \"tomorrow\"", "date: invalid date 'tomorrow'\r\n"},
        {"hwclock -w", ""},
        {"killall -USR1 flatfsd", ""},
        {"killall -HUP inetd", "killall: inetd: no process killed\r\n"},
        {"config", "config: Permission denied\r\n"},
        {"config clear", "Configuration cleared\r\n"},
        {"mbus -tx1 /dev/watchdog w 0 r 3", "05 01 41\r\n"},
        {"mbus -tx1 /dev/pcf8563 r 1", "mbus: /dev/pcf8563: No such device\r\n"},
        {"ping -c 1 10.0.0.5",
         "PING 10.0.0.5 (10.0.0.5): 56 data bytes\r\n"
         "64 bytes from 10.0.0.5: icmp_seq=0 ttl=64 time=0.4 ms\r\n\r\n"
         "--- 10.0.0.5 ping statistics ---\r\n"
         "1 packets transmitted, 1 packets received, 0% packet loss\r\n"
         "round-trip min/avg/max = 0.4/0.4/0.4 ms\r\n"},
        {"ping -c 1 pc.local", "ping: unknown host pc.local\r\n"},
        {"netflash -r /dev/rom4 pc.local bootimage.bin", "netflash: unknown host pc.local\r\n"},
        {"echo  two   words", "two words\r\n"},
        {"/bin/echo called by path", "called by path\r\n"},
        {"ECHO upper case", "ECHO upper case: Bad command\r\n"},  // names are matched exactly
        {"cd /nowhere", "cd: can't cd to /nowhere\r\n"},
        {"cd /etc", ""},
        {"pwd", "/etc\r\n"},
        {"cd", ""},
        {"pwd", "/\r\n"},
    };
    loggedIn();
    for (const Case& c : cases)
        EXPECT_EQ(type(c.typed + "\n"), c.typed + "\r\n" + c.output + "> ") << c.typed;
    EXPECT_EQ(state_->commands().size(), cases.size() - 1);  // all but the empty line
}

TEST_F(ShellTest, ListingsOutputsAndConfigToolTheDeviceDescribes) {
    config_.mac = {0x02, 0x4C, 0x55, 0xC2, 0x00, 0x07};  // a video server: no camera process
    config_.product = "Lumetra/Draviel6-1";
    config_.shell.files = {{"/etc/config/extra.conf", "a=1\n"}, {"/proc/uptime", "100.00 90.00\n"}};
    config_.shell.outputs = {{"dmesg", "only this\n"}};
    config_.shell.configDepend = true;
    loggedIn();
    EXPECT_EQ(type("cat /proc/uptime\n"), "cat /proc/uptime\r\n100.00 90.00\r\n> ");
    EXPECT_EQ(type("dmesg\n"), "dmesg\r\nonly this\r\n> ");
    EXPECT_NE(type("ls /etc/config\n").find("\r\nextra.conf\r\n"), std::string::npos);
    EXPECT_EQ(type("cat /proc/zelvix\n"), "cat /proc/zelvix\r\ncat: /proc/zelvix: Invalid argument\r\n> ");
    EXPECT_NE(type("ifconfig -a\n").find("HWaddr 02:4C:55:C2:00:07\r\n"), std::string::npos);
    EXPECT_NE(type("config\n").find("depend="), std::string::npos);
    EXPECT_EQ(type("config save\n"), "config save\r\nConfiguration saved\r\n> ");
    EXPECT_EQ(type("config depend=ALL\n"),
              "config depend=ALL\r\nGenerating dependent files for ALL... done\r\n> ");
}

TEST_F(ShellTest, NshSwitchesToTheRootPromptAndExitComesBack) {
    loggedIn();
    EXPECT_EQ(type("/bin/nsh\n"), "/bin/nsh\r\n# ");
    EXPECT_EQ(type("exit\n"), "exit\r\n> ");
    EXPECT_FALSE(shell_->ended());
    type("nsh\n");
    EXPECT_EQ(type("quit\n"), "quit\r\n");  // quit logs out of every shell at once
    EXPECT_TRUE(shell_->ended());
    EXPECT_EQ(type("ls\n"), "");  // nothing is taken after the end
}

TEST_F(ShellTest, EditorWritesOrLeavesWithoutSaving) {
    loggedIn();
    EXPECT_EQ(type("vi /var/tmp/boa.conf\n"),
              "vi /var/tmp/boa.conf\r\n\"/var/tmp/boa.conf\" No such file or directory\r\n");
    type("i");
    EXPECT_EQ(type("Port 8080\nUser nobody\n"), "Port 8080\r\nUser nobody\r\n");
    EXPECT_EQ(type("\x1b:wq\n"), ":wq\r\n\"/var/tmp/boa.conf\" 2L, 22C written\r\n> ");
    ASSERT_EQ(state_->writes().size(), 1u);
    EXPECT_EQ(state_->writes()[0], (FileWrite{"/var/tmp/boa.conf", "Port 8080\nUser nobody\n", "vi"}));
    // The listing the PC checks, then the move into place.
    EXPECT_EQ(type("ls /var/tmp/\n"), "ls /var/tmp/\r\nboa.conf\r\n> ");
    EXPECT_EQ(type("mv /var/tmp/boa.conf /etc/config/\n"), "mv /var/tmp/boa.conf /etc/config/\r\n> ");
    EXPECT_EQ(state_->files().read("/etc/config/boa.conf"), "Port 8080\nUser nobody\n");
    EXPECT_FALSE(state_->files().exists("/var/tmp/boa.conf"));

    type("vi /etc/config/network\n");
    type("iGATEWAY=10.0.0.1\n");
    EXPECT_EQ(type("\x1b:q\n"), ":q\r\nNo write since last change (:quit! overrides)\r\n");
    EXPECT_EQ(type(":q!\n"), ":q!\r\n> ");
    EXPECT_EQ(state_->files().read("/etc/config/network"), factoryFiles(config_).at("/etc/config/network"));
    // An unfinished last line is kept when written; a folder that does not exist cannot be written.
    type("vi /var/tmp/partial\n");
    type("iabc\x1b:w\n");
    EXPECT_EQ(state_->files().read("/var/tmp/partial"), "abc\n");
    EXPECT_EQ(type(":q\n"), ":q\r\n> ");
    type("vi /var/tmp/empty\n");
    EXPECT_EQ(type("i\x1b:wq\n"), ":wq\r\n\"/var/tmp/empty\" 1L, 1C written\r\n> ");
    type("vi /nowhere/file\n");
    EXPECT_EQ(type("ix\x1b:wq\n"), "x:wq\r\n\"/nowhere/file\" write error\r\n> ");
}

// A plain "cat > file" write is covered end to end by the core's session tests.
TEST_F(ShellTest, CatWriteEndsAtControlDOrControlC) {
    loggedIn();
    // Control-D inside a line ends the input with that line unfinished; cat>file works too.
    type("cat >/var/tmp/x\n");
    type("a\nb\x04");
    EXPECT_EQ(state_->files().read("/var/tmp/x"), "a\nb");
    // Control-C throws the line being typed away and keeps what was complete.
    type("cat > /var/tmp/y\n");
    EXPECT_EQ(type("kept\nlost\x03"), "kept\r\nlost^C\r\n> ");
    EXPECT_EQ(state_->files().read("/var/tmp/y"), "kept\n");
    // The shell opens the target first: cat never starts, and what follows is a command again.
    EXPECT_EQ(type("cat > /nowhere/z\n\x04"),
              "cat > /nowhere/z\r\nsh: can't create /nowhere/z: nonexistent directory\r\n> ");
}

// A group redirected as a whole: what it sends to ">&2" shows, a bare cat takes the input; when
// the target cannot be created nothing in the group runs and the command after "||" does.
TEST_F(ShellTest, RedirectedGroupStartsCatOnlyOnceTheTargetIsOpen) {
    loggedIn();
    const std::string group = "( echo 'LM''READY' >&2; exec /bin/cat ) > ";
    EXPECT_EQ(type(group + "/var/tmp/x || echo 'LM''REFUSED'\n"),
              group + "/var/tmp/x || echo 'LM''REFUSED'\r\nLMREADY\r\n");
    type("a\n\x04");
    EXPECT_EQ(state_->files().read("/var/tmp/x"), "a\n");
    EXPECT_EQ(
        type(group + "/nowhere/z || echo 'LM''REFUSED'\n"),
        group + "/nowhere/z || echo 'LM''REFUSED'\r\nsh: can't create /nowhere/z: nonexistent directory\r\n" +
            "LMREFUSED\r\n> ");
}

TEST_F(ShellTest, OverlongInputIsCutNotStored) {
    loggedIn();
    const std::string echoed = type(std::string(100000, 'x') + "\n");
    EXPECT_LT(echoed.size(), 3 * Shell::kMaxLineBytes);
    EXPECT_NE(echoed.find(std::string(Shell::kMaxLineBytes, 'x') + ": Bad command"), std::string::npos);

    type("cat > /var/tmp/big\n");
    const std::string line(Shell::kMaxLineBytes - 1, 'y');
    for (std::size_t written = 0; written <= ShellBehaviour::kMaxFileBytes; written += line.size() + 1)
        type(line + "\n");
    EXPECT_EQ(type("\x04"), "cat: write error: No space left on device\r\n> ");
    EXPECT_FALSE(state_->files().exists("/var/tmp/big"));
}

TEST_F(ShellTest, GarbageNeitherBreaksNorFloodsTheShell) {
    std::mt19937 random(7);
    // Every byte value except 'n': random text must never spell a command that sends traffic.
    std::uniform_int_distribution<int> byte(0, 254);
    for (Shell::Kind kind : {Shell::Kind::Telnet, Shell::Kind::Console}) {
        shell(kind);
        shell_->enterEditor("/var/tmp/garbage");
        std::size_t shown = 0;
        for (int round = 0; round < 200 && !shell_->ended(); ++round) {
            std::string junk;
            for (int i = 0; i < 1000; ++i) {
                int b = byte(random);
                if (b == 'n') b = 255;
                junk += static_cast<char>(b);
            }
            shown += type(junk).size();
        }
        EXPECT_LT(shown, 4u << 20);
    }
}

}  // namespace
}  // namespace lm::sim
