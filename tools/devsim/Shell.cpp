#include "devsim/Shell.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>

#include "devsim/TftpClient.h"

namespace lm::sim {

namespace {

constexpr char kCtrlC = 3, kCtrlD = 4, kBackspace = 8, kEscape = 27, kDelete = 127;
constexpr std::size_t kSlowPiece = 3;
constexpr Milliseconds kSlowPause{15};
constexpr Milliseconds kTftpTimeout{10000};
constexpr uint64_t kProgressBytes = 64 * 1024;
constexpr int kMaxPings = 10;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isTyped(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 ? u != kDelete : c == '\t';
}

// Words of a command line; double or single quotes hold blanks inside one word.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> result;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else {
                word += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) result.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) result.push_back(std::move(word));
    return result;
}

bool hasWord(const std::vector<std::string>& args, std::string_view word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string formatted(const char* format, auto... values) {
    char text[256];
    const int n = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1)));
}

std::string timeText(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S UTC %Y", &utc);
    return text;
}

std::string macText(const DeviceConfig& device) {
    const Mac& m = device.mac;
    return formatted("%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
}

std::string psText(const DeviceConfig& device) {
    std::string text =
        "  PID USER       VSZ STAT %CPU COMMAND\n"
        "    1 admin      412 S     0.0 init\n"
        "    2 admin        0 SW    0.0 [keventd]\n"
        "   14 admin      388 S     0.0 /bin/syslogd\n"
        "   21 admin      612 S     0.1 /bin/boa\n"
        "   26 admin      560 S     0.0 /bin/telnetd\n";
    // The camera process runs under 40 on "> " firmware and between 100 and 150 behind "/bin/nsh".
    const unsigned pid = device.shell.activity.pid.value_or(device.shell.prompt == "# " ? 112 : 37);
    if (!isVideoServer(device)) text += formatted("  %3u admin     1824 S    12.5 /bin/zelvix\n", pid);
    return text + "  151 admin      436 S     0.0 /bin/sh\n  158 admin      380 R     0.0 ps\n";
}

std::string dmesgText(const DeviceConfig& device) {
    return "Linux version 2.4.27-uc0 (build@lumetra) (gcc version 3.4.0) #1 Tue Mar 3 10:12:44 UTC 2009\n"
           "Calibrating delay loop... 264.60 BogoMIPS\n"
           "Memory available: 14212k/16384k RAM, 0k/0k ROM (612k kernel code, 188k data)\n"
           "eth0: ethernet " +
           macText(device) +
           "\n"
           "Blkmem: 6 disk images\n"
           "VFS: Mounted root (romfs filesystem) readonly.\n"
           "mbus: 3 devices found\n";
}

std::string ifconfigText(const DeviceConfig& device, Ipv4 address) {
    const uint32_t host = ntohl(address);
    return "eth0      Link encap:Ethernet  HWaddr " + macText(device) +
           "\n          inet addr:" + dotted(address) + "  Bcast:" + dotted(htonl(host | 0xFF)) +
           "  Mask:255.255.255.0\n"
           "          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1\n"
           "          RX packets:18231 errors:0 dropped:0 overruns:0 frame:0\n"
           "          TX packets:20417 errors:0 dropped:0 overruns:0 carrier:0\n"
           "          collisions:0 txqueuelen:100\n"
           "\n"
           "lo        Link encap:Local Loopback\n"
           "          inet addr:127.0.0.1  Mask:255.0.0.0\n"
           "          UP LOOPBACK RUNNING  MTU:16436  Metric:1\n";
}

}  // namespace

Shell::Shell(DeviceState& device, Terminal& terminal, Kind kind)
    : device_(device),
      terminal_(terminal),
      kind_(kind),
      prompts_{kind == Kind::Console ? consolePromptOf(device.config()) : device.config().shell.prompt} {}

bool Shell::loggedIn() const {
    return mode_ != Mode::User && mode_ != Mode::Password && mode_ != Mode::Ended;
}

void Shell::showLogin() {
    mode_ = Mode::User;
    input_.clear();
    prompts_.resize(1);
    cwd_ = "/";
    emit("\r\n" + hostnameOf(device_.config()) + " login: ");
    flush();
}

void Shell::enterEditor(const std::string& file) {
    vi({"vi", file});
    pending_.clear();  // the screen was drawn long ago
    mode_ = Mode::EditorInsert;
}

void Shell::feed(std::string_view bytes) {
    for (char c : bytes) {
        if (mode_ == Mode::Ended) break;
        take(c);
    }
    flush();
}

void Shell::take(char c) {
    // CR LF and CR NUL are one line end, as a telnet client sends them.
    const bool pairEnd = lastWasCr_ && (c == '\n' || c == '\0');
    lastWasCr_ = c == '\r';
    if (pairEnd || c == '\0') return;
    if (mode_ == Mode::EditorCommand || mode_ == Mode::EditorInsert || mode_ == Mode::EditorLine) {
        takeEditorInput(c);
    } else {
        takeLineInput(c);
    }
}

void Shell::takeLineInput(char c) {
    if (isLineEnd(c)) {
        lineEnded();
    } else if (c == kCtrlC) {
        // The interrupted line is thrown away, as the terminal driver does.
        emit("^C\r\n");
        input_.clear();
        if (mode_ == Mode::CatWrite) {
            writeEditedFile(true);
        } else if (mode_ == Mode::Command) {
            showPrompt();
        } else {
            showLogin();
        }
    } else if (c == kCtrlD) {
        if (mode_ != Mode::CatWrite) return;
        catText_ += input_;
        input_.clear();
        writeEditedFile(true);
    } else if (c == kBackspace || c == kDelete) {
        if (input_.empty()) return;
        input_.pop_back();
        if (mode_ != Mode::Password) emit("\b \b");
    } else if (isTyped(c) && input_.size() < kMaxLineBytes) {
        input_ += c;
        if (mode_ != Mode::Password) emit(std::string_view(&c, 1));
    }
}

void Shell::takeEditorInput(char c) {
    if (mode_ == Mode::EditorInsert) {
        if (c == kEscape) {
            if (!editLine_.empty()) editText_ += editLine_ + "\n";
            editLine_.clear();
            mode_ = Mode::EditorCommand;
        } else if (isLineEnd(c)) {
            editText_ += editLine_ + "\n";
            editLine_.clear();
            editChanged_ = true;
            emit("\r\n");
        } else if (c == kBackspace || c == kDelete) {
            if (!editLine_.empty()) editLine_.pop_back();
        } else if (isTyped(c)) {
            if (editText_.size() + editLine_.size() >= ShellBehaviour::kMaxFileBytes ||
                editLine_.size() >= kMaxLineBytes) {
                editOverflow_ = true;
                return;
            }
            editLine_ += c;
            editChanged_ = true;
            emit(std::string_view(&c, 1));
        }
    } else if (mode_ == Mode::EditorCommand) {
        if (c == ':') {
            mode_ = Mode::EditorLine;
            input_.clear();
            emit(":");
        } else if (c == 'i' || c == 'a' || c == 'o') {
            mode_ = Mode::EditorInsert;
        }
    } else if (c == kEscape) {
        mode_ = Mode::EditorCommand;
        emit("\r\n");
    } else if (isLineEnd(c)) {
        emit("\r\n");
        exCommand(trimmed(input_));
    } else if (c == kBackspace || c == kDelete) {
        if (!input_.empty()) input_.pop_back();
    } else if (isTyped(c) && input_.size() < kMaxLineBytes) {
        input_ += c;
        emit(std::string_view(&c, 1));
    }
}

void Shell::exCommand(const std::string& command) {
    input_.clear();
    mode_ = Mode::EditorCommand;
    if (command == "w" || command == "w!") {
        writeEditedFile(false);
    } else if (command == "wq" || command == "x" || command == "wq!") {
        writeEditedFile(true);
    } else if (command == "q!" || (command == "q" && !editChanged_)) {
        mode_ = Mode::Command;
        showPrompt();
    } else if (command == "q") {
        line("No write since last change (:quit! overrides)");
    } else if (!command.empty()) {
        line("Not an editor command: " + command);
    }
}

// Writes the file of the editor or of a cat write, or shows why it was not written; `leave` ends
// the editor or the cat.
void Shell::writeEditedFile(bool leave) {
    const bool editor = mode_ != Mode::CatWrite;
    const std::string& target = editor ? editPath_ : catPath_;
    std::string content = editor ? editText_ + (editLine_.empty() ? "" : editLine_ + "\n") : catText_;
    // The editor's buffer always holds a line: an empty one is saved as one blank line (1L, 1C).
    if (editor && content.empty()) content = "\n";
    const bool overflow = editor ? editOverflow_ : catOverflow_;
    const auto result =
        overflow ? VirtualFileSystem::Result::NoSpace : device_.files().write(target, content);
    if (result == VirtualFileSystem::Result::Ok) {
        const std::size_t lines = static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n'));
        device_.recordWrite({target, content, editor ? "vi" : "cat"});
        if (editor) line(formatted("\"%s\" %zuL, %zuC written", target.c_str(), lines, content.size()));
        editChanged_ = false;
    } else if (editor) {
        line("\"" + target + "\" write error");
    } else {
        line(result == VirtualFileSystem::Result::NoSpace ? "cat: write error: No space left on device"
                                                          : "cat: can't create " + target);
    }
    if (!leave) return;
    mode_ = Mode::Command;
    showPrompt();
}

void Shell::lineEnded() {
    std::string typed = std::move(input_);
    input_.clear();
    switch (mode_) {
        case Mode::User:
            emit("\r\n");
            if (trimmed(typed).empty()) {
                showLogin();
                return;
            }
            user_ = trimmed(typed);
            mode_ = Mode::Password;
            emit("Password: ");
            return;
        case Mode::Password: {
            emit("\r\n");
            const ShellBehaviour& shell = device_.config().shell;
            const bool accepted = user_ == "admin" && typed == shell.password && !shell.faults.refusePassword;
            device_.countLogin(accepted);
            if (!accepted) {
                emit("Login incorrect\r\n");
                showLogin();
                return;
            }
            mode_ = Mode::Command;
            const DeviceConfig& config = device_.config();
            emit("\r\nWelcome to " + config.product + " " + config.version + "\r\n\r\n");
            showPrompt();
            return;
        }
        case Mode::CatWrite:
            emit("\r\n");
            if (catText_.size() + typed.size() + 1 > ShellBehaviour::kMaxFileBytes) {
                catOverflow_ = true;
            } else {
                catText_ += typed + "\n";
            }
            return;
        default:
            emit("\r\n");
            run(trimmed(typed));
            return;
    }
}

void Shell::run(const std::string& typed) {
    if (typed.empty()) {
        showPrompt();
        return;
    }
    device_.recordCommand(typed);
    if (const unsigned latency = device_.config().shell.commandLatencyMs; latency > 0)
        if (!device_.pause(Milliseconds(latency))) return;
    const auto& outputs = device_.config().shell.outputs;
    if (const auto it = outputs.find(typed); it != outputs.end()) {
        text(it->second);
        showPrompt();
        return;
    }
    if (group(typed)) {
        if (mode_ == Mode::Command) showPrompt();
        return;
    }
    auto args = words(typed);
    if (args.empty()) {
        showPrompt();
        return;
    }
    // Commands are found by name wherever they were called from ("/bin/cat" is "cat").
    args[0] = args[0].substr(args[0].rfind('/') + 1);
    if (!runCommand(typed, args)) line(typed + ": Bad command");
    if (mode_ == Mode::Command) showPrompt();
}

// The device's commands by name; each gets the typed line and its words.
const std::map<std::string_view, Shell::Handler>& Shell::commands() {
    using Args = std::vector<std::string>;
    const Handler hwclock = [](Shell& s, const std::string&, const Args& args) {
        if (hasWord(args, "-r")) s.line(timeText(std::time(nullptr) + s.device_.clockOffset()));
    };
    static const std::map<std::string_view, Handler> table = {
        {"cat", [](Shell& s, const std::string&, const Args& args) { s.cat(args); }},
        {"ls", [](Shell& s, const std::string&, const Args& args) { s.ls(args); }},
        {"cd",
         [](Shell& s, const std::string&, const Args& args) {
             const std::string target = s.path(args.size() > 1 ? args[1] : "/");
             if (s.device_.files().isDirectory(target)) {
                 s.cwd_ = target;
             } else {
                 s.line("cd: can't cd to " + args[1]);
             }
         }},
        {"pwd", [](Shell& s, const std::string&, const Args&) { s.line(s.cwd_); }},
        {"mv", [](Shell& s, const std::string&, const Args& args) { s.mv(args); }},
        {"rm", [](Shell& s, const std::string&, const Args& args) { s.rm(args); }},
        {"echo",
         [](Shell& s, const std::string&, const Args& args) {
             std::string joined;
             for (std::size_t i = 1; i < args.size(); ++i)
                 joined += (i > 1 ? " " : "") + args[i];
             s.line(joined);
         }},
        {"ps", [](Shell& s, const std::string&, const Args&) { s.text(psText(s.device_.config())); }},
        {"dmesg", [](Shell& s, const std::string&, const Args&) { s.text(dmesgText(s.device_.config())); }},
        {"ifconfig", [](Shell& s, const std::string&,
                        const Args&) { s.text(ifconfigText(s.device_.config(), s.device_.address())); }},
        {"date", [](Shell& s, const std::string&, const Args& args) { s.date(args); }},
        {"hwclock", hwclock},
        {"clock", hwclock},
        {"config", [](Shell& s, const std::string&, const Args& args) { s.config(args); }},
        {"killall",
         [](Shell& s, const std::string&, const Args& args) {
             if (hasWord(args, "flatfsd")) {
                 s.device_.files().saveConfig();
             } else {
                 s.line("killall: " + (args.size() > 1 ? args.back() : std::string()) +
                        ": no process killed");
             }
         }},
        {"flashw", [](Shell& s, const std::string&, const Args& args) { s.flashw(args); }},
        {"mbus", [](Shell& s, const std::string&, const Args& args) { s.mbus(args); }},
        {"ping", [](Shell& s, const std::string&, const Args& args) { s.ping(args); }},
        {"tar", [](Shell& s, const std::string& typed, const Args& args) { s.tar(typed, args); }},
        {"nsh", [](Shell& s, const std::string&, const Args&) { s.prompts_.push_back("# "); }},
        {"vi", [](Shell& s, const std::string&, const Args& args) { s.vi(args); }},
        {"netflash", [](Shell& s, const std::string&, const Args& args) { s.netflash(args); }},
        {"reboot",
         [](Shell& s, const std::string&, const Args&) {
             s.line("");
             s.line("The system is going down NOW !!");
             s.flush();
             s.mode_ = Mode::Ended;
             s.device_.reboot();
         }},
        {"exit", [](Shell& s, const std::string&, const Args&) { s.leave(false); }},
        {"logout", [](Shell& s, const std::string&, const Args&) { s.leave(false); }},
        {"quit", [](Shell& s, const std::string&, const Args&) { s.leave(true); }},
    };
    return table;
}

// Runs one known command; false when the name is not one.
bool Shell::runCommand(const std::string& typed, const std::vector<std::string>& args) {
    const auto found = commands().find(args[0]);
    if (found == commands().end()) return false;
    found->second(*this, typed, args);
    return true;
}

// exit leaves "/bin/nsh" first; quit and a last exit end the login.
void Shell::leave(bool quit) {
    if (!quit && prompts_.size() > 1) {
        prompts_.pop_back();
        return;
    }
    if (kind_ == Kind::Telnet) {
        mode_ = Mode::Ended;
    } else {
        showLogin();
    }
}

void Shell::cat(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].starts_with(">")) {
            const std::string target = args[i].size() > 1    ? args[i].substr(1)
                                       : i + 1 < args.size() ? args[i + 1]
                                                             : "";
            if (target.empty()) {
                line("sh: syntax error");
                return;
            }
            if (redirectable(target)) startCatWrite(target);
            return;
        }
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string file = path(args[i]);
        if (device_.files().isDirectory(file)) {
            line("cat: " + args[i] + ": Is a directory");
        } else if (const auto content = device_.files().read(file)) {
            text(*content);
        } else {
            line("cat: " + args[i] + ": Invalid argument");
        }
    }
}

// The shell opens the target before the command runs: a target it cannot create ends the line
// with the shell's own words, and the command never starts.
bool Shell::redirectable(const std::string& target) {
    switch (device_.files().writable(path(target))) {
        case VirtualFileSystem::Result::Ok:
            return true;
        case VirtualFileSystem::Result::IsDirectory:
            line("sh: can't create " + target + ": Is a directory");
            return false;
        case VirtualFileSystem::Result::NotFound:
            line("sh: can't create " + target + ": nonexistent directory");
            return false;
        case VirtualFileSystem::Result::NoSpace:
            line("sh: can't create " + target + ": No space left on device");
            return false;
    }
    return false;
}

void Shell::startCatWrite(const std::string& target) {
    catPath_ = path(target);
    catText_.clear();
    catOverflow_ = false;
    mode_ = Mode::CatWrite;
}

// "( CMD; ...; exec /bin/cat ) > TARGET || CMD": the group's output goes to TARGET, what it sends to
// ">&2" to the terminal; a bare cat in the group takes the terminal's input into TARGET. When TARGET
// cannot be created, nothing in the group runs and the command after "||" does.
bool Shell::group(const std::string& typed) {
    const auto close = typed.rfind(')');
    if (!typed.starts_with('(') || close == std::string::npos) return false;
    std::string after = trimmed(std::string_view(typed).substr(close + 1));
    std::string otherwise;
    if (const auto orElse = after.find("||"); orElse != std::string::npos) {
        otherwise = trimmed(std::string_view(after).substr(orElse + 2));
        after = trimmed(std::string_view(after).substr(0, orElse));
    }
    const std::string target = after.starts_with('>') ? trimmed(std::string_view(after).substr(1)) : "";
    if (target.empty()) {
        line("sh: syntax error: unexpected redirection");
        return true;
    }
    if (!redirectable(target)) {
        if (!otherwise.empty()) runSimple(otherwise);
        return true;
    }
    std::string body = typed.substr(1, close - 1);
    std::size_t at = 0;
    while (at <= body.size() && mode_ == Mode::Command) {
        const auto end = std::min(body.find(';', at), body.size());
        std::string command = trimmed(std::string_view(body).substr(at, end - at));
        at = end + 1;
        if (command.starts_with("exec ")) command = trimmed(std::string_view(command).substr(5));
        if (words(command) == std::vector<std::string>{"/bin/cat"} || command == "cat") {
            startCatWrite(target);
        } else {
            // Only output sent to the terminal (">&2") is what the group's commands show here.
            if (command.ends_with(">&2"))
                command = trimmed(std::string_view(command).substr(0, command.size() - 3));
            runSimple(command);
        }
    }
    return true;
}

// One command of a compound line: no prompt of its own.
void Shell::runSimple(const std::string& command) {
    auto args = words(command);
    if (args.empty()) return;
    args[0] = args[0].substr(args[0].rfind('/') + 1);
    if (!runCommand(command, args)) line(command + ": Bad command");
}

void Shell::ls(const std::vector<std::string>& args) {
    bool longForm = false;
    std::vector<std::string> targets;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].starts_with("-")) {
            longForm = longForm || args[i].find('l') != std::string::npos;
        } else {
            targets.push_back(args[i]);
        }
    }
    if (targets.empty()) targets.push_back(".");
    for (const std::string& typed : targets) {
        const std::string target = path(typed);
        const auto entries = device_.files().list(target);
        if (!entries) {
            line("ls: " + typed + ": No such file or directory");
            continue;
        }
        const bool single = entries->size() == 1 && !(*entries)[0].directory && (*entries)[0].name == target;
        if (targets.size() > 1 && !single) line(typed + ":");
        for (const auto& entry : *entries) {
            const std::string name = single ? typed : entry.name;
            if (longForm) {
                line(formatted("%s    1 admin    root     %8zu Mar  3 10:12 %s",
                               entry.directory ? "drwxr-xr-x" : "-rw-r--r--", entry.size, name.c_str()));
            } else {
                line(name);
            }
        }
    }
}

void Shell::mv(const std::vector<std::string>& args) {
    if (args.size() != 3) {
        line("Usage: mv SOURCE DEST");
        return;
    }
    switch (device_.files().move(path(args[1]), path(args[2]))) {
        case VirtualFileSystem::Result::Ok:
            return;
        case VirtualFileSystem::Result::IsDirectory:
            line("mv: " + args[1] + ": Is a directory");
            return;
        default:
            line("mv: unable to rename `" + args[1] + "': No such file or directory");
            return;
    }
}

void Shell::rm(const std::vector<std::string>& args) {
    bool force = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].starts_with("-")) {
            force = force || args[i].find('f') != std::string::npos;
            continue;
        }
        const auto result = device_.files().remove(path(args[i]));
        if (result == VirtualFileSystem::Result::IsDirectory) {
            line("rm: " + args[i] + ": is a directory");
        } else if (result == VirtualFileSystem::Result::NotFound && !force) {
            line("rm: cannot remove '" + args[i] + "': No such file or directory");
        }
    }
}

void Shell::date(const std::vector<std::string>& args) {
    if (args.size() >= 3 && args[1] == "-s") {
        std::string wanted;
        for (std::size_t i = 2; i < args.size(); ++i)
            wanted += (i > 2 ? " " : "") + args[i];
        std::tm parts{};
        const char* end = strptime(wanted.c_str(), "%B %d %H:%M:%S %Y", &parts);
        if (!end || *end != '\0') {
            line("date: invalid date '" + wanted + "'");
            return;
        }
        const std::time_t when = timegm(&parts);
        device_.setClockOffset(static_cast<long long>(when - std::time(nullptr)));
        line(timeText(when));
    } else if (args.size() == 1) {
        line(timeText(std::time(nullptr) + device_.clockOffset()));
    } else {
        line("date: invalid option -- " + args[1]);
    }
}

void Shell::config(const std::vector<std::string>& args) {
    const ShellBehaviour& shell = device_.config().shell;
    const std::string what = args.size() > 1 ? args[1] : "";
    if (what == "clear") {
        if (shell.faults.configClearDenied) {
            line("config: Permission denied");
            return;
        }
        device_.files().eraseConfig();
        line("Configuration cleared");
    } else if (!shell.configDepend) {
        line("config: Permission denied");
    } else if (what.empty()) {
        line("Usage: config clear | save | depend=ALL | depend=<file>");
    } else if (what == "save") {
        device_.files().saveConfig();
        line("Configuration saved");
    } else if (what.starts_with("depend=")) {
        line("Generating dependent files for " + what.substr(7) + "... done");
    } else {
        line("config: unknown option " + what);
    }
}

void Shell::flashw(const std::vector<std::string>& args) {
    if (args.size() != 4 || (args[1] != "-b" && args[1] != "-f")) {
        line("usage: flashw [-b values | -f file] device");
        return;
    }
    if (args[1] == "-f" && !device_.files().read(path(args[2]))) {
        line("flashw: " + args[2] + ": No such file or directory");
        return;
    }
    // Writing over the configuration partition wipes the saved configuration.
    if (args[3] == "/dev/rom5") device_.files().eraseConfig();
}

void Shell::mbus(const std::vector<std::string>& args) {
    std::string bus;
    for (const std::string& arg : args)
        if (arg.starts_with("/dev/")) bus = arg;
    const ActivityBehaviour& activity = device_.config().shell.activity;
    const auto present = [&activity](const char* address) { return activity.busDevices.contains(address); };
    if (bus == "/dev/watchdog" && present("0.124")) {
        line(activity.watchdogReply);
    } else if (bus == "/dev/ds1629" && present("0.79")) {
        // The register holds half degrees Celsius in bits 15..7; an unsteady sensor drifts a step a read.
        long halfDegrees = std::lround(activity.temperature * 2);
        if (activity.unsteadyTemperature) halfDegrees += temperatureReads_++;
        const unsigned raw = (static_cast<unsigned>(halfDegrees) & 0x1FF) << 7;
        line(formatted("%02X %02X", raw >> 8, raw & 0xFF));
    } else if (bus.empty()) {
        line("usage: mbus [-tx1] /dev/<device> [w <byte>[,<byte>...]] [r <count>]");
    } else {
        line("mbus: " + bus + ": No such device");
    }
}

void Shell::ping(const std::vector<std::string>& args) {
    int count = 0;  // 0: until interrupted, which the simulator reads as once
    std::string host;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-c" && i + 1 < args.size()) {
            count = std::atoi(args[++i].c_str());
        } else if (!args[i].starts_with("-")) {
            host = args[i];
        }
    }
    const auto address = parseIpv4(host);
    if (!address) {
        line("ping: unknown host " + host);
        return;
    }
    count = std::clamp(count, 1, kMaxPings);
    const std::string to = dotted(*address);
    line("PING " + to + " (" + to + "): 56 data bytes");
    for (int seq = 0; seq < count; ++seq)
        line(formatted("64 bytes from %s: icmp_seq=%d ttl=64 time=0.4 ms", to.c_str(), seq));
    line("");
    line("--- " + to + " ping statistics ---");
    line(formatted("%d packets transmitted, %d packets received, 0%% packet loss", count, count));
    line("round-trip min/avg/max = 0.4/0.4/0.4 ms");
}

// "tar -c FILES... | gzip -c > ARCHIVE": the archive holds the named files one after the other.
void Shell::tar(const std::string& typed, const std::vector<std::string>& args) {
    std::string archive;
    for (std::size_t i = 1; i < args.size() && args[i] != "|"; ++i) {
        if (args[i].starts_with("-")) continue;
        const auto content = device_.files().read(path(args[i]));
        if (!content) {
            line("tar: " + args[i] + ": No such file or directory");
            continue;
        }
        archive += args[i] + "\n" + *content;
    }
    const auto redirect = typed.rfind('>');
    if (redirect == std::string::npos) return;
    const std::string target = trimmed(std::string_view(typed).substr(redirect + 1));
    if (target.empty() || device_.files().write(path(target), archive) != VirtualFileSystem::Result::Ok)
        line("sh: can't create " + target);
}

void Shell::vi(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        line("vi: no file name");
        return;
    }
    editPath_ = path(args[1]);
    editText_.clear();
    editLine_.clear();
    editChanged_ = false;
    editOverflow_ = false;
    if (const auto content = device_.files().read(editPath_)) {
        editText_ = *content;
        if (!editText_.empty() && !editText_.ends_with('\n')) editText_ += '\n';
        text(editText_);
        line(formatted("\"%s\" %zuL, %zuC", editPath_.c_str(),
                       static_cast<std::size_t>(std::count(editText_.begin(), editText_.end(), '\n')),
                       editText_.size()));
    } else if (device_.files().isDirectory(editPath_)) {
        line("\"" + editPath_ + "\" is a directory");
        return;
    } else {
        line("\"" + editPath_ + "\" No such file or directory");
    }
    mode_ = Mode::EditorCommand;
}

void Shell::netflash(const std::vector<std::string>& args) {
    FlashRecord flash;
    std::vector<std::string> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-r" && i + 1 < args.size()) {
            flash.rom = args[++i];
        } else if (!args[i].starts_with("-")) {
            operands.push_back(args[i]);
        }
    }
    if (operands.size() != 2) {
        line("usage: netflash [-bCfFhijklntuv] [-r <rom-device>] <net-server> <file-name>");
        return;
    }
    flash.server = operands[0];
    flash.file = operands[1];
    const auto server = parseIpv4(flash.server);
    if (!server) {
        line("netflash: unknown host " + flash.server);
        return;
    }
    line("netflash: fetching " + flash.file + " from " + flash.server + " ...");
    flush();
    const ShellFaults& faults = device_.config().shell.faults;
    TftpClient client(device_.address(), {faults.lostAck, faults.repeatAck, Milliseconds(faults.ackDelayMs)},
                      kTftpTimeout, [this] { return device_.halted(); });
    std::ofstream copy;
    if (const std::string& path = device_.config().shell.flashCopy; !path.empty())
        copy.open(path, std::ios::binary | std::ios::trunc);
    uint64_t shown = 0;
    // Noted before the last acknowledgement goes out, so whoever sees it finds the image here.
    const auto note = [&](const TftpResult& fetched) {
        copy.close();
        flash.bytes = fetched.bytes;
        flash.crc32 = fetched.crc32;
        flash.complete = fetched.complete;
        flash.error = fetched.error;
        device_.recordFlash(flash);
    };
    const TftpResult result = client.fetch(
        *server, device_.tftpPort(), flash.file,
        [&](uint64_t bytes) {
            if (bytes < shown + kProgressBytes) return;
            shown = bytes;
            line(formatted("netflash: %llu bytes received", static_cast<unsigned long long>(bytes)));
            flush();
        },
        [&copy](std::string_view bytes) {
            copy.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        },
        note);
    if (!result.complete) {
        note(result);
        line("netflash: TFTP transfer failed: " + result.error);
        return;
    }
    line(formatted("netflash: got \"%s\", length=%llu", flash.file.c_str(),
                   static_cast<unsigned long long>(result.bytes)));
    line(formatted("netflash: checksum crc32=0x%08x", result.crc32));
    line("netflash: programming FLASH device " +
         (flash.rom.empty() ? std::string("/dev/flash/image") : flash.rom));
    line("netflash: flash programmed");
}

std::string Shell::path(const std::string& typed) const {
    return VirtualFileSystem::resolve(cwd_, typed);
}

void Shell::emit(std::string_view bytes) {
    pending_.append(bytes);
}

void Shell::line(std::string_view body) {
    emit(body);
    emit("\r\n");
}

void Shell::text(std::string_view body) {
    for (char c : body) {
        if (c == '\n') {
            emit("\r\n");
        } else {
            emit(std::string_view(&c, 1));
        }
    }
}

void Shell::showPrompt() {
    emit(prompt());
}

void Shell::flush() {
    if (pending_.empty()) return;
    const std::string out = std::move(pending_);
    pending_.clear();
    if (!device_.config().shell.faults.slowOutput) {
        terminal_.write(out);
        return;
    }
    const std::string_view all = out;
    for (std::size_t at = 0; at < all.size(); at += kSlowPiece) {
        terminal_.write(all.substr(at, kSlowPiece));
        if (!device_.pause(kSlowPause)) {
            terminal_.write(all.substr(std::min(at + kSlowPiece, all.size())));
            return;
        }
    }
}

}  // namespace lm::sim
