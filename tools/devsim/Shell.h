#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/DeviceState.h"

namespace lm::sim {

// Where a shell's output goes: a telnet connection or the serial console.
class Terminal {
public:
    virtual ~Terminal() = default;
    virtual void write(std::string_view bytes) = 0;
};

// The device's side of one login: the login conversation, the command shell with the device's
// commands, the vi-style editor and "cat >" writes. Bytes go in as the PC typed them; the output
// is what a pty-based login would show: typed characters echoed, lines ending "\r\n", prompts
// without a line end. Shared by telnet sessions and the serial console; one thread per shell.
class Shell {
public:
    static constexpr std::size_t kMaxLineBytes = 1024;  // longer input lines are cut

    enum class Kind {
        Telnet,   // logging out ends the connection
        Console,  // logging out brings back the login prompt
    };

    Shell(DeviceState& device, Terminal& terminal, Kind kind);

    // Shows the login prompt ("\r\n" + host name + " login: ") and waits for a user name.
    void showLogin();
    // Logged in and inside the editor on path, in insert mode: how a console left by a broken write looks.
    void enterEditor(const std::string& path);

    void feed(std::string_view bytes);

    // The session is over: quit, exit or reboot (telnet), or a reboot (console).
    bool ended() const { return mode_ == Mode::Ended; }
    bool loggedIn() const;
    const std::string& prompt() const { return prompts_.back(); }

private:
    enum class Mode { User, Password, Command, CatWrite, EditorCommand, EditorInsert, EditorLine, Ended };

    void take(char c);
    void takeLineInput(char c);
    void takeEditorInput(char c);
    void lineEnded();
    void exCommand(const std::string& command);
    void run(const std::string& line);
    void runSimple(const std::string& command);
    bool group(const std::string& typed);
    bool redirectable(const std::string& target);
    void startCatWrite(const std::string& target);
    bool runCommand(const std::string& line, const std::vector<std::string>& args);
    using Handler = void (*)(Shell&, const std::string& line, const std::vector<std::string>& args);
    static const std::map<std::string_view, Handler>& commands();
    void leave(bool quit);

    void cat(const std::vector<std::string>& args);
    void ls(const std::vector<std::string>& args);
    void mv(const std::vector<std::string>& args);
    void rm(const std::vector<std::string>& args);
    void date(const std::vector<std::string>& args);
    void config(const std::vector<std::string>& args);
    void flashw(const std::vector<std::string>& args);
    void mbus(const std::vector<std::string>& args);
    void ping(const std::vector<std::string>& args);
    void tar(const std::string& line, const std::vector<std::string>& args);
    void vi(const std::vector<std::string>& args);
    void netflash(const std::vector<std::string>& args);
    void writeEditedFile(bool leave);

    std::string path(const std::string& typed) const;
    void emit(std::string_view text);
    void line(std::string_view text);  // text + "\r\n"
    void text(std::string_view body);  // file text with "\n" turned into "\r\n"
    void showPrompt();
    void flush();

    DeviceState& device_;
    Terminal& terminal_;
    Kind kind_;
    Mode mode_ = Mode::User;
    std::string input_;
    bool lastWasCr_ = false;
    std::string user_;
    std::vector<std::string> prompts_;
    std::string cwd_ = "/";
    std::string pending_;

    std::string editPath_;
    std::string editText_;  // the lines so far, each ending "\n"
    std::string editLine_;  // the line being typed
    bool editChanged_ = false;
    bool editOverflow_ = false;

    long temperatureReads_ = 0;

    std::string catPath_;
    std::string catText_;
    bool catOverflow_ = false;
};

}  // namespace lm::sim
