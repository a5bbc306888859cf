#include "core/link/DeviceSession.h"

#include <algorithm>

#include "core/link/DeviceClock.h"
#include "core/link/TerminalControls.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

constexpr const char* kEscape = "\x1b";
// An escape followed at once by more keys reads as a key sequence to the editor, not as the key
// that leaves insert mode.
constexpr Milliseconds kEscapePause{300};
// The line that starts cat for a file write. The group prints the ready marker only once the shell
// has opened the file and given cat the terminal; when the shell cannot open it, it says why and
// the refusal marker follows. The echoed line holds both markers split in two, so the shell's echo
// of the command never passes for cat running.
constexpr const char* kCatReady = "LMREADY";
constexpr const char* kCatRefused = "LMREFUSED";

std::string catReceiver(const std::string& path) {
    return "( echo 'LM''READY' >&2; exec /bin/cat ) > " + path + " || echo 'LM''REFUSED'";
}

bool isReceiverEcho(std::string_view line) {
    return contains(line, "'LM''");
}
// Lines a device may send before its prompt when asked for one.
constexpr int kMaxPromptProbeLines = 4;

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// What a device's cat says of a file it cannot open ("cat: can't open '/x': No such file or directory").
bool cannotOpen(const std::string& line, const std::string& path) {
    return contains(line, path) &&
           (contains(line, "can't open") || contains(line, "No such file or directory"));
}

// The lines of a file that carry text. Blank lines are not compared: the console link skips them
// when reading, and the editor saves an empty file as one blank line.
std::vector<std::string> textLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const auto& line : lines)
        if (const std::string_view text = withoutLineEnd(line); !text.empty()) kept.emplace_back(text);
    return kept;
}

// A shell that was not yet reading when a command arrived shows it twice: the terminal's own echo,
// then its line editor's redraw after the prompt ("# cat /etc/version"), maybe after a blank line.
// Either is only an echo.
bool isEchoOf(std::string_view line, std::string_view command, std::string_view prompt) {
    line = withoutTrailingControls(withoutLineEnd(line));
    if (!line.ends_with(command)) return false;
    line.remove_suffix(command.size());
    line = withoutTrailingControls(line);
    return line.empty() || (!prompt.empty() && line.ends_with(prompt));
}

// Whether the lines kept so far are only blank ones, which before a redrawn echo are the terminal's.
bool onlyBlank(const std::vector<std::string>& lines) {
    return std::ranges::all_of(lines, [](const std::string& line) { return withoutLineEnd(line).empty(); });
}

// A received line as shown: carriage returns and the trailing control sequences gone.
std::string shownText(std::string_view line) {
    std::string text(line);
    std::erase(text, '\r');
    return std::string(withoutTrailingControls(text));
}

// What the shell said instead of starting cat ("sh: can't create /var/tmp/x: Is a directory"): the
// received lines but the echo, the marker and prompts.
std::string shellWords(const std::string& received, const std::string& prompt) {
    std::string words;
    std::size_t at = 0;
    while (at < received.size()) {
        const auto end = std::min(received.find('\n', at), received.size());
        std::string line = shownText(std::string_view(received).substr(at, end - at));
        at = end + 1;
        if (!prompt.empty() && line.starts_with(prompt)) line.erase(0, prompt.size());
        if (line.empty() || isReceiverEcho(line) || contains(line, kCatRefused)) continue;
        words += (words.empty() ? "" : "; ") + line;
    }
    return words;
}

}  // namespace

bool DeviceSession::isPromptLine(const std::string& line) const {
    const std::string& prompt = s_.shellPrompt();
    const std::string_view shown = withoutTrailingControls(line);
    const auto at = shown.find(prompt);
    return at != std::string_view::npos && at + prompt.size() == shown.size();
}

void DeviceSession::adoptLoginPrompt() {
    const std::string& seen = seenText();
    if (contains(seen, "> "))
        s_.setShellPrompt("> ");
    else if (contains(seen, "# "))
        s_.setShellPrompt("# ");
    else
        s_.setShellPrompt({});
}

bool DeviceSession::sendLine(std::string_view line) {
    // A refusal says why; a line that passes leaves the last operation's words alone.
    if (std::string problem = shellValueProblem(ShellValue::Text, line, "command"); !problem.empty()) {
        message_ = std::move(problem);
        return false;
    }
    return typeRaw(std::string(line) + "\n");
}

bool DeviceSession::typeRaw(std::string_view keys) {
    return network() ? s_.telnet().send(keys) : s_.serial().write(keys);
}

bool DeviceSession::interrupt() {
    return typeRaw("\x03");
}

std::string DeviceSession::readLine(int ticks) {
    return s_.telnet().readLine(ticks);
}

std::string DeviceSession::readUntil(int ticks, std::string_view end) {
    return s_.telnet().readUntil(ticks, end);
}

void DeviceSession::drain() {
    if (network()) s_.telnet().drain();
}

int DeviceSession::expect(int turns, std::initializer_list<std::string_view> patterns) {
    return network() ? s_.telnet().expect(turns, patterns) : s_.serial().expect(turns, patterns);
}

const std::string& DeviceSession::seenText() const {
    return network() ? s_.telnet().transcript() : s_.serial().currentLine;
}

Outcome DeviceSession::endWith(Outcome outcome, std::string message) {
    message_ = std::move(message);
    return outcome;
}

bool DeviceSession::startCommand(const std::string& command, const std::string& echo) {
    if (!network()) return sendLine(command) && s_.serial().expect(2, {echo});
    drain();
    return sendLine(command);
}

bool DeviceSession::inputRefused(ShellValue kind, const std::string& value, const char* name) {
    message_ = shellValueProblem(kind, value, name);
    return !message_.empty();
}

bool DeviceSession::keep(std::string line, std::size_t& total) {
    total += line.size();
    if (total > kMaxOutputBytes || s_.remoteLines().size() >= kMaxOutputLines) {
        message_ = "output longer than 8 MiB; stopped";
        return false;
    }
    s_.remoteLines().push_back(std::move(line));
    return true;
}

std::string DeviceSession::nextLine(const Deadline& bound) {
    if (bound.expired()) return {};
    if (network()) return s_.telnet().readUntil(300, s_.shellPrompt());
    auto& serial = s_.serial();
    return serial.readNonEmptyLine() ? serial.currentLine : std::string();
}

Outcome DeviceSession::endOfOutput(const Deadline& bound) {
    // Serial output simply stops at the end; over the network a command ends with its prompt.
    const bool cut = bound.expired() || (network() ? s_.telnet().lastWaitCut() : s_.serial().lastWaitCut());
    message_ =
        cut ? "the device kept sending without showing its prompt; stopped" : "the device stopped answering";
    return Outcome::NoAnswer;
}

void DeviceSession::logout(bool sendQuit) {
    if (network())
        s_.telnet().logout(sendQuit);
    else
        s_.serial().close();
}

bool DeviceSession::reboot() {
    return sendLine("reboot");
}

Outcome DeviceSession::saveConfig(SaveBy by) {
    sendLine(by == SaveBy::ConfigTool ? "config save" : "killall -USR1 flatfsd");
    return expect(network() ? 45 : 10, {"> ", "# "}) ? Outcome::Ok : Outcome::NoAnswer;
}

Outcome DeviceSession::setClock(int networkAttempts) {
    message_.clear();
    if (!network()) return setClockOverSerial(s_.serial(), message_);
    s_.telnet().drain();
    return setClockOverTelnet(s_.telnet(), s_.timing(), networkAttempts, message_);
}

Outcome DeviceSession::enterNsh(bool& rootPrompt) {
    const auto [major, minor, patch] = s_.firmware();
    if (!network()) {
        auto& serial = s_.serial();
        if (!(major == 1 && minor == 0) || patch >= 14) {
            rootPrompt = true;
            return Outcome::Ok;
        }
        if (patch < 10) {
            rootPrompt = false;
            return Outcome::Ok;
        }
        sendLine("/bin/nsh");
        // Only the root prompt counts: the line of the command's echo starts with the prompt before it.
        rootPrompt = serial.expect(5, {"# "}) != 0;
        return rootPrompt ? Outcome::Ok : Outcome::NoAnswer;
    }

    if (major == 1 && minor > 0) {
        rootPrompt = true;
        return Outcome::Ok;
    }
    if (major == 1 && minor == 0 && patch < 10) {
        rootPrompt = false;
        return Outcome::Ok;
    }
    auto& telnet = s_.telnet();
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0) {
            s_.timing().pause(Milliseconds(1000));
            telnet.drain();
            sendLine("");
            telnet.expect(20, {"> ", "# "});
        }
        if (patch > 13) {
            rootPrompt = true;
            return Outcome::Ok;
        }
        sendLine("/bin/nsh");
        if (telnet.expect(5, {"> ", "# "}) && contains(telnet.transcript(), "# ")) {
            rootPrompt = true;
            return Outcome::Ok;
        }
    }
    rootPrompt = false;
    return Outcome::NoAnswer;
}

Outcome DeviceSession::probeConfigTool(bool& hasDepend) {
    hasDepend = false;
    if (!network()) {
        auto& serial = s_.serial();
        if (!sendLine("config")) return Outcome::Ok;
        if (!serial.expect(5, {"Permission denied", "depend="})) return Outcome::Ok;
        hasDepend = contains(serial.currentLine, "depend=");
        serial.expect(5, {"> ", "# "});
        return Outcome::Ok;
    }
    auto& telnet = s_.telnet();
    sendLine("config");
    int found = telnet.expect(5, {"Permission denied", "depend="});
    for (int retry = 0; !found && retry < 3; ++retry) {
        s_.timing().pause(Milliseconds(1000));
        telnet.drain();
        sendLine("");
        telnet.expect(20, {"> ", "# "});
        sendLine("config");
        found = telnet.expect(5, {"Permission denied", "depend="});
    }
    if (!found) return Outcome::NoAnswer;
    hasDepend = contains(telnet.transcript(), "depend=");
    telnet.expect(5, {"> ", "# "});
    return Outcome::Ok;
}

std::string DeviceSession::readPrompt() {
    if (!network()) {
        auto& serial = s_.serial();
        if (!sendLine("") || !serial.readNonEmptyLine()) return {};
        const std::string& line = serial.currentLine;
        if (contains(line, "> ")) return "> ";
        if (contains(line, "# ")) return "# ";
        return line.size() < 2 ? line : line.substr(line.size() - 2);
    }
    auto& telnet = s_.telnet();
    telnet.drain();
    if (!sendLine("")) return {};
    std::string line;
    for (int read = 0; read < 2; ++read) {
        // A prompt has no line end: stop at one we know rather than wait out the read.
        line = telnet.readUntil(80, {"> ", "# "});
        if (contains(line, "> ")) return "> ";
        if (contains(line, "# ")) return "# ";
    }
    return line;
}

Outcome DeviceSession::runCommand(const std::string& command, Echo echo) {
    message_.clear();
    if (inputRefused(ShellValue::Text, command, "command")) return Outcome::Failed;
    if (s_.shellPrompt().empty()) s_.setShellPrompt(readPrompt());
    s_.remoteLines().clear();
    std::size_t total = 0;
    const Deadline bound(s_.timing().waitBound);

    if (!startCommand(command, command)) return endOfOutput(bound);
    bool echoSeen = !network();  // the serial start took the echo
    while (true) {
        std::string line = nextLine(bound);
        if (line.empty()) return endOfOutput(bound);
        if (contains(line, command)) {
            if (contains(line, "Bad command"))
                return endWith(Outcome::Refused, std::string(withoutLineEnd(line)));
            const bool redrawn = onlyBlank(s_.remoteLines()) && isEchoOf(line, command, s_.shellPrompt());
            if (redrawn) s_.remoteLines().clear();
            const bool isEcho = redrawn || (network() && (echo == Echo::AllNamingCommand || !echoSeen));
            echoSeen = true;
            if (isEcho) continue;
        }
        if (!echoSeen) continue;  // what an earlier command left, such as the prompt after a Ctrl-C
        if (isPromptLine(line)) return Outcome::Ok;
        if (!keep(std::move(line), total)) return Outcome::Failed;
    }
}

Outcome DeviceSession::readRemoteFile(const std::string& path) {
    message_.clear();
    if (inputRefused(ShellValue::Path, path, "path")) return Outcome::Failed;
    s_.remoteLines().clear();
    std::size_t total = 0;
    const std::string command = "cat " + path;
    const Deadline bound(s_.timing().waitBound);

    if (!startCommand(command, path)) return endOfOutput(bound);
    bool echoSeen = !network();
    while (true) {
        std::string line = nextLine(bound);
        if (line.empty()) {
            // Over the serial link, running out of lines is the end of the file.
            return network() || bound.expired() || s_.serial().lastWaitCut() ? endOfOutput(bound)
                                                                             : Outcome::Ok;
        }
        if (!echoSeen) {
            // Before the echo, a line is what an earlier command left, such as the prompt after a Ctrl-C.
            echoSeen = contains(line, command);
            continue;
        }
        if (onlyBlank(s_.remoteLines()) && isEchoOf(line, command, s_.shellPrompt())) {
            s_.remoteLines().clear();
            continue;
        }
        if (isPromptLine(line)) {
            std::string last;
            if (!lastLineBeforePrompt(line, bound, last)) return endOfOutput(bound);
            return last.empty() || keep(std::move(last), total) ? Outcome::Ok : Outcome::Failed;
        }
        if (contains(line, path) && contains(line, "Invalid argument"))
            return endWith(Outcome::Refused, std::string(withoutLineEnd(line)));
        if (cannotOpen(line, path)) return endWith(Outcome::Failed, std::string(withoutLineEnd(line)));
        if (!keep(std::move(line), total)) return Outcome::Failed;
    }
}

bool DeviceSession::lastLineBeforePrompt(const std::string& promptLine, const Deadline& bound,
                                         std::string& last) {
    const std::string_view shown = withoutTrailingControls(promptLine);
    last = shown.substr(0, shown.size() - s_.shellPrompt().size());
    if (last.empty()) return true;
    // The text may be the prompt's own ("/ # "): a line end shows the prompt on a line of its own.
    if (!sendLine("")) return false;
    for (int read = 0; read < kMaxPromptProbeLines; ++read) {
        const std::string line = nextLine(bound);
        if (line.empty()) return false;
        if (!isPromptLine(line)) continue;
        std::string_view bare = withoutTrailingControls(line);
        bare.remove_prefix(std::min(bare.find_first_not_of("\r\n"), bare.size()));
        if (shown.ends_with(bare)) last = shown.substr(0, shown.size() - bare.size());
        return true;
    }
    return false;
}

void DeviceSession::typeAfterEscape(const std::string& command) {
    typeRaw(kEscape);
    s_.timing().pause(kEscapePause);
    typeRaw(command);
}

void DeviceSession::leaveEditor() {
    typeAfterEscape(":q!\n");
}

// Reads the file back and compares it with what was meant to be written; the buffer keeps the
// lines to write either way.
bool DeviceSession::readsBack(const std::string& path) {
    const std::vector<std::string> written = s_.remoteLines();
    const Outcome read = readRemoteFile(path);
    const std::vector<std::string> found = std::move(s_.remoteLines());
    s_.remoteLines() = written;
    return read == Outcome::Ok && textLines(found) == textLines(written);
}

void DeviceSession::refuseWrite(const std::string& path, const std::string& words) {
    message_ = "the device could not create " + path + ": " +
               (words.empty() ? std::string("its shell gave no reason") : words);
}

DeviceSession::Attempt DeviceSession::writeAttemptOverNetwork(const std::string& path,
                                                              const std::string& listingArgument,
                                                              const std::string& expected, WriteBy by) {
    auto& telnet = s_.telnet();
    const bool viaCat = by == WriteBy::Cat;
    const auto& lines = s_.remoteLines();
    if (viaCat) {
        sendLine(catReceiver(path));
        const int seen = telnet.expect(20, {kCatReady, kCatRefused});
        if (seen == 2) {
            refuseWrite(path, shellWords(telnet.transcript(), s_.shellPrompt()));
            telnet.expect(2, {"> ", "# "});
            return Attempt::Refused;
        }
        if (seen == 0) return Attempt::Failed;
    } else {
        // The editor would insert before the lines of an existing file: start without one.
        if (!sendLine("rm -f " + path) || !telnet.expect(20, {"> ", "# "})) return Attempt::Failed;
        // A new file: the editor says so, or only shows its status line ("- PATH 1/1 100%").
        sendLine("vi " + path);
        if (!telnet.expect(20, {"No such file", "- " + path})) return Attempt::Failed;
        typeRaw("i");
        telnet.readLine(4);
        telnet.drain();
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The editor ends the file with a line end of its own; cat needs every one.
        const bool last = i + 1 == lines.size();
        typeRaw(viaCat || !last ? lines[i] + "\n" : lines[i]);
        telnet.readLine(1);
        telnet.drain();
    }
    if (viaCat) {
        typeRaw("\x04");
    } else {
        typeAfterEscape(":wq\n");
    }
    telnet.expect(20, {"> ", "# "});
    s_.timing().pause(kEscapePause);
    telnet.drain();
    sendLine("ls " + listingArgument);
    if (!telnet.expect(20, {expected})) return Attempt::Failed;
    telnet.expect(2, {"> ", "# "});
    return readsBack(path) ? Attempt::Written : Attempt::Failed;
}

// Waits on the console for cat to start: the marker, or the shell's words and the refusal marker.
DeviceSession::Attempt DeviceSession::catStartOverSerial(const std::string& path) {
    auto& serial = s_.serial();
    std::string words;
    // Each wait takes one line naming the path: the echo, then the shell's words if any.
    for (int lines = 0; lines < 4; ++lines) {
        switch (serial.expect(5, {kCatReady, kCatRefused, path})) {
            case 1:
                return Attempt::Written;
            case 2:
                refuseWrite(path, words);
                serial.expect(1, {"> ", "# "});
                return Attempt::Refused;
            case 3:
                if (!isReceiverEcho(serial.currentLine)) words = shownText(serial.currentLine);
                break;
            default:
                return Attempt::Failed;
        }
    }
    return Attempt::Failed;
}

DeviceSession::Attempt DeviceSession::writeOverSerial(const std::string& path,
                                                      const std::string& listingArgument,
                                                      const std::string& expected, WriteBy by) {
    auto& serial = s_.serial();
    const auto& timing = s_.timing();
    const auto& lines = s_.remoteLines();
    if (by == WriteBy::Cat) {
        if (!sendLine(catReceiver(path))) return Attempt::Failed;
        if (const Attempt started = catStartOverSerial(path); started != Attempt::Written) return started;
        for (const auto& line : lines) {
            if (!typeRaw(line + "\n")) return Attempt::Failed;
            timing.pause(Milliseconds(200));
        }
        timing.pause(Milliseconds(400));
        typeRaw("\x04");
        if (!serial.expect(5, {"# "})) return Attempt::Failed;
    } else {
        if (!sendLine("rm -f " + path) || !serial.expect(5, {"> ", "# "})) return Attempt::Failed;
        if (!sendLine("vi " + path)) return Attempt::Failed;
        if (!serial.expect(5, {"No such file", "- " + path})) return Attempt::Failed;
        typeRaw("i");
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (!typeRaw(i + 1 == lines.size() ? lines[i] : lines[i] + "\n")) return Attempt::Failed;
        typeAfterEscape(":wq\n");
        serial.expect(5, {"> ", "# "});
    }
    sendLine("ls " + listingArgument);
    if (!serial.expect(5, {expected})) return Attempt::Failed;
    serial.expect(1, {"> ", "# "});
    return readsBack(path) ? Attempt::Written : Attempt::Failed;
}

Outcome DeviceSession::writeRemoteFile(const std::string& path, const std::string& listingArgument,
                                       const std::string& expected, WriteBy by) {
    message_.clear();
    if (inputRefused(ShellValue::Path, path, "path")) return Outcome::Failed;
    if (inputRefused(ShellValue::Text, listingArgument, "listing")) return Outcome::Failed;
    for (const auto& line : s_.remoteLines())
        if (inputRefused(ShellValue::Text, line, "file line")) return Outcome::Failed;

    if (!network()) {
        const Attempt attempt = writeOverSerial(path, listingArgument, expected, by);
        if (attempt == Attempt::Written) return Outcome::Ok;
        if (attempt == Attempt::Refused) return Outcome::Failed;
        if (by == WriteBy::Editor) leaveEditor();
        return endWith(Outcome::Failed, "the file " + path + " did not read back as written");
    }
    auto& telnet = s_.telnet();
    for (int attempt = 0;; ++attempt) {
        const Attempt result = writeAttemptOverNetwork(path, listingArgument, expected, by);
        if (result == Attempt::Written) return Outcome::Ok;
        // Trying again cannot make the shell open the file; it only said so once more.
        if (result == Attempt::Refused) return Outcome::Failed;
        if (attempt == 3)
            return endWith(Outcome::Failed, "the file " + path + " did not read back as written");
        // Leave the editor without saving, remove what was written, and start again.
        s_.timing().pause(Milliseconds(1000));
        telnet.drain();
        leaveEditor();
        telnet.expect(20, {"> ", "# "});
        sendLine("rm " + path);
        telnet.expect(20, {"> ", "# "});
        s_.timing().pause(Milliseconds(500));
        telnet.drain();
    }
}

std::string commandRefusal(const std::vector<std::string>& lines, std::string_view program) {
    const std::string tool(program.substr(program.rfind('/') + 1));
    for (const std::string& said : lines) {
        const std::string line(withoutLineEnd(said));
        const bool named =
            line.starts_with(tool + ": ") || line.starts_with("sh: ") || line.starts_with("-sh: ");
        if (named && (line.ends_with(": Invalid argument") || line.ends_with(": Permission denied")))
            return line;
    }
    return {};
}

}  // namespace lm
