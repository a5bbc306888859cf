#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/Outcome.h"
#include "core/link/Session.h"
#include "core/link/ShellInput.h"

namespace lm {

// The shell operations on a logged-in device, each in a network and a serial form chosen by
// the session's connectionIsNetwork. Paths, commands and written lines are checked with the shell
// input rules first: a value that could run a second command is refused (Failed) and nothing is sent.
class DeviceSession {
public:
    // Output beyond this ends a command as a failure: a device that never stops cannot fill memory.
    static constexpr std::size_t kMaxOutputBytes = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxOutputLines = 100'000;

    // Which output lines naming the command are taken for its echo: every one (what the internal
    // runner needs: a device may repeat the command in its own messages), or only the first (a
    // user's command, whose output may name it: `ps` lists itself).
    enum class Echo { AllNamingCommand, FirstOnly };

    // How settings are saved to flash: the device's config tool ("config save") where it has one,
    // else a signal to its flash daemon.
    enum class SaveBy { FlashDaemon, ConfigTool };
    // How a file is typed in: through the editor, or through cat where the shell can run it.
    enum class WriteBy { Editor, Cat };

    explicit DeviceSession(Session& session) : s_(session) {}

    void logout(bool sendQuit);
    // Sends "reboot"; false when it could not be sent.
    bool reboot();
    Outcome saveConfig(SaveBy by);
    // Sets the device's clock and hardware clock from this computer's local time: up to
    // networkAttempts over the network, one on the console. Refused when the device said a command
    // failed (its words in deviceMessage()).
    Outcome setClock(int networkAttempts);
    Outcome enterNsh(bool& rootPrompt);
    Outcome probeConfigTool(bool& hasDepend);
    std::string readPrompt();
    // Ok, NoAnswer, Refused ("Bad command") or Failed (see deviceMessage()).
    Outcome runCommand(const std::string& command, Echo echo = Echo::AllNamingCommand);
    // Ok, NoAnswer, Refused ("Invalid argument") or Failed (the device cannot open the file).
    Outcome readRemoteFile(const std::string& path);
    // Writes the session's remote lines into path, checks that "ls " + listingArgument shows
    // expected, and reads the file back: Ok only when it holds exactly those lines (blank lines
    // aside, which the console does not show and the editor adds to an empty file). No line is
    // typed before cat shows it is running; when the shell cannot create the file, Failed at once
    // with the shell's words.
    Outcome writeRemoteFile(const std::string& path, const std::string& listingArgument,
                            const std::string& expected, WriteBy by = WriteBy::Editor);

    // The exchanges that are not a command with output (waking the console, the name a device
    // gives itself, a command judged by a complaint it may print, a command an operation drives
    // itself: a ping, the flash tool, a log, the erase). Every shell line goes out through
    // sendLine: over whichever link the session has, with its line end, once the shell input rules
    // allow it; false, nothing sent, when they do not (why in deviceMessage()) or the send failed.
    // What was left unread stays: drain() first when the answer must not be mixed with it.
    bool sendLine(std::string_view line);
    // expect waits up to `turns` for one of patterns: its 1-based position, 0 when none came;
    // seenText() is what the wait read (the network's transcript, the console's current line).
    int expect(int turns, std::initializer_list<std::string_view> patterns);
    const std::string& seenText() const;
    // Drops what the device said over the network and nobody read; the console is left as it is.
    void drain();
    // Leaves the editor without saving: a run cut short may have left it open.
    void leaveEditor();
    // Ctrl-C: stops the command that runs.
    bool interrupt();
    // Over the network: the next line of output, or a prompt without line end; empty when the
    // device fell silent.
    std::string readLine(int ticks);
    // Over the network: the output up to end or a line end, within ticks; empty when the device
    // fell silent.
    std::string readUntil(int ticks, std::string_view end);

    // Takes the prompt that the login just ended on as the shell prompt ("> " or "# "; empty when
    // none was seen), so the first command need not ask the device for it again.
    void adoptLoginPrompt();

    // A line holding the shell prompt with nothing after its first occurrence but control sequences.
    bool isPromptLine(const std::string& line) const;

    // Why the last operation failed, in the device's words where it gave any ("cat: can't open
    // '/x': No such file or directory"), else in ours ("output longer than 8 MiB; stopped").
    const std::string& deviceMessage() const { return message_; }

private:
    bool network() const { return s_.connectionIsNetwork(); }
    // The one way past the shell input rules, for what is not a shell line: keys (Escape, Ctrl-C,
    // Ctrl-D, the editor's own commands) and the lines of a file, which writeRemoteFile checked
    // before it started and which the editor or cat receives, not the shell.
    bool typeRaw(std::string_view keys);
    // Appends a line of output unless the output has grown past its bound.
    bool keep(std::string line, std::size_t& total);
    // The next line of output (its line end kept), or empty when the device fell silent or the
    // wait ran past its bound.
    std::string nextLine(const Deadline& bound);
    Outcome endOfOutput(const Deadline& bound);
    Outcome endWith(Outcome outcome, std::string message);
    // Sends the command line; over the serial link also waits for its echo.
    bool startCommand(const std::string& command, const std::string& echo);
    // The file's last line when it had no line end and so shares the line of the prompt; empty
    // when the line holds only the prompt. False when the device stopped answering.
    bool lastLineBeforePrompt(const std::string& promptLine, const Deadline& bound, std::string& last);
    // The escape key, a pause so the editor takes it as a key of its own, then the command.
    void typeAfterEscape(const std::string& command);
    bool inputRefused(ShellValue kind, const std::string& value, const char* name);
    // Written; Failed (worth another attempt); Refused: the shell could not open the file, so cat
    // never started, and deviceMessage() holds the shell's words.
    enum class Attempt { Written, Failed, Refused };
    Attempt writeAttemptOverNetwork(const std::string& path, const std::string& listingArgument,
                                    const std::string& expected, WriteBy by);
    Attempt writeOverSerial(const std::string& path, const std::string& listingArgument,
                            const std::string& expected, WriteBy by);
    Attempt catStartOverSerial(const std::string& path);
    void refuseWrite(const std::string& path, const std::string& words);
    bool readsBack(const std::string& path);

    Session& s_;
    std::string message_;
};

// A program's or the shell's own word that it turned a command away ("mbus: /dev/x: Invalid
// argument", "sh: /x: Permission denied"), from a command's output lines; empty when none says so.
// Only lines naming the program or the shell count: a log the command prints may quote such words.
std::string commandRefusal(const std::vector<std::string>& lines, std::string_view program);

}  // namespace lm
