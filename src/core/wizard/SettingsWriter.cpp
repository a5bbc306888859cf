#include "core/wizard/SettingsWriter.h"

#include <set>
#include <string_view>

#include "core/link/DeviceSession.h"
#include "core/link/ShellInput.h"
#include "core/ops/WorkerTask.h"
#include "core/wizard/FileValueRules.h"
#include "core/wizard/WizardLink.h"
#include "core/wizard/WizardPages.h"

namespace lm {

namespace {

constexpr const char* kFailureText = "Error during update of device configuration files!";
constexpr int kLastStep = 24;
constexpr Milliseconds kRebootStepPause{2000};
// How long a move may take before its prompt, and the dependent files' generation, in turns.
constexpr int kNetworkMoveTurns = 25, kSerialMoveTurns = 8;
constexpr int kNetworkDependTurns = 90, kSerialDependTurns = 3;
constexpr int kClockAttempts = 3;
// Lines a device may send after a command before its prompt: a chatty one cannot hold the writer.
constexpr int kMaxReplyLines = 8;
// A device's complaint is shown in the status line; beyond this it is cut.
constexpr std::size_t kMaxComplaint = 256;

std::string lastLine(const std::string& text) {
    const auto end = text.rfind('\n');
    return end == std::string::npos ? text : text.substr(end + 1);
}

// The line of text that holds marker, without its line end; empty when none does.
std::string lineHolding(const std::string& text, std::string_view marker) {
    const auto at = text.find(marker);
    if (marker.empty() || at == std::string::npos) return {};
    const auto start = text.rfind('\n', at);
    const auto from = start == std::string::npos ? 0 : start + 1;
    return text.substr(from, text.find_first_of("\r\n", at) - from);
}

// "mv /var/tmp/boa.conf /etc/config/" -> "/var/tmp/boa.conf".
std::string moveSource(const std::string& command) {
    const auto from = command.find(' ') + 1;
    return command.substr(from, command.find(' ', from) - from);
}

// One run of the summary page's worker, from the opening to its ending.
class SettingsWriterRun {
public:
    SettingsWriterRun(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt)
        : w_(wizard), s_(wizard.session()), page_(page), prompt_(prompt), shell_(s_) {}

    Outcome run(const WriteOptions& options);

private:
    bool network() const { return s_.connectionIsNetwork(); }
    Outcome open();
    Outcome openSerial();
    // Brings the console to a shell prompt: a line end and "cd /", and once more after leaving an
    // editor that an earlier run may have left open.
    bool wakeConsole();
    Outcome probe(bool setClock);
    Outcome writeFiles(const std::vector<SettingsFile>& files);
    Outcome moveFiles(const std::vector<SettingsFile>& files);
    Outcome saveAndReboot();
    // Sends a shell line, after dropping what was left unread, and waits up to `turns` for the
    // prompt; false when none came. The line the device printed holding `complaint` (a tool naming
    // itself in an error) goes to `said`.
    bool runLine(const std::string& line, int turns, std::string_view complaint, std::string& said);
    Outcome fail(Outcome outcome, const std::string& reason = {});
    // The failure's ending on the page, with no session to leave.
    Outcome endFailed(Outcome outcome, const std::string& reason);
    Outcome stop();

    WizardSession& w_;
    Session& s_;
    WizardPage& page_;
    PasswordPrompt* prompt_;
    DeviceSession shell_;
};

Outcome SettingsWriterRun::run(const WriteOptions& options) {
    page_.progressRange(0, kLastStep);
    page_.startSteps();
    // The pages check what a person types; values read from the device or given otherwise are
    // checked here, before the device is reached.
    if (const auto refused = wizard::settingsValueProblem(w_.settings()))
        return endFailed(Outcome::Failed, "Not written: " + refused->field + " " + refused->problem + ".");
    if (const Outcome opened = open(); opened != Outcome::Ok) return opened;
    if (page_.aborted()) return stop();
    // The schedule page's "Set the time from this computer" box, shown when uploading, decides.
    const DeviceSettings& settings = w_.settings();
    const bool setClock =
        !options.dryRun && ((settings.uploadEnabled && settings.setTimeFromPc) || options.setClock);
    if (const Outcome probed = probe(setClock); probed != Outcome::Ok) return probed;

    const auto files = settingsFiles(w_.settings(), {w_.newFtpFormat(), w_.configDependSupported()});
    if (options.dryRun) {
        if (options.planned) options.planned(files);
        shell_.logout(true);
        return Outcome::Ok;
    }
    if (const Outcome written = writeFiles(files); written != Outcome::Ok) return written;
    if (const Outcome moved = moveFiles(files); moved != Outcome::Ok) return moved;
    return saveAndReboot();
}

Outcome SettingsWriterRun::open() {
    if (network()) {
        switch (loginWithAttempts(w_, prompt_, false)) {
            case LoginOk:
                break;
            case LoginFailed:
                return fail(Outcome::NoAnswer);
            case LoginCancelled:
                // The device refused the password and no other was given.
                page_.cancelRun();
                return Outcome::Refused;
            case LoginBadPassword:
                return fail(Outcome::Failed, shellValueProblem(ShellValue::Text, s_.password(), "password"));
            default:
                shell_.logout(false);
                page_.cancelRun();
                return Outcome::Refused;
        }
    } else if (const Outcome opened = openSerial(); opened != Outcome::Ok) {
        return opened;
    }
    s_.setShellPrompt(shell_.readPrompt());
    return Outcome::Ok;
}

Outcome SettingsWriterRun::openSerial() {
    page_.status("Establishing communication via serial port...");
    if (!openWizardSerialPort(w_, page_)) return Outcome::Failed;
    if (wakeConsole()) return Outcome::Ok;
    s_.serial().close();
    cannotProceed(page_, "Communications error!");
    return Outcome::NoAnswer;
}

bool SettingsWriterRun::wakeConsole() {
    const auto wake = [this] { return shell_.sendLine("") && shell_.sendLine("cd /"); };
    if (!wake()) return false;
    if (shell_.expect(5, {"> ", "# "})) return true;
    shell_.leaveEditor();
    shell_.expect(8, {"> ", "# "});
    return wake() && shell_.expect(8, {"> ", "# "});
}

Outcome SettingsWriterRun::probe(bool setClock) {
    if (setClock) {
        if (const Outcome set = shell_.setClock(kClockAttempts); set != Outcome::Ok)
            return fail(set, shell_.deviceMessage());
        if (page_.aborted()) return stop();
    }
    bool rootShell = false;
    if (const Outcome entered = shell_.enterNsh(rootShell); entered != Outcome::Ok)
        return fail(entered, "the device did not start its root shell");
    w_.setCatWriteSupported(rootShell);
    // The root shell may show a prompt of its own, and every later wait looks for the prompt.
    s_.setShellPrompt(shell_.readPrompt());
    const FirmwareVersion& f = s_.firmware();
    w_.setNewFtpFormat(!(f.major == 1 && f.minor == 0 && f.patch < 6));
    bool depend = false;
    if (const Outcome probed = shell_.probeConfigTool(depend); probed != Outcome::Ok)
        return fail(probed, "the device did not answer the config tool's probe");
    w_.setConfigDependSupported(depend);
    return page_.aborted() ? stop() : Outcome::Ok;
}

Outcome SettingsWriterRun::writeFiles(const std::vector<SettingsFile>& files) {
    for (const SettingsFile& file : files) {
        if (file.announced) page_.status("Writing " + file.path + "...");
        if (file.written) {
            const auto slash = file.path.rfind('/') + 1;
            s_.remoteLines() = file.lines;
            // Read back before anything is moved: a file that differs stops the run here.
            const Outcome written = shell_.writeRemoteFile(
                file.path, file.path.substr(0, slash), file.path.substr(slash),
                w_.catWriteSupported() ? DeviceSession::WriteBy::Cat : DeviceSession::WriteBy::Editor);
            if (written != Outcome::Ok) return fail(written, shell_.deviceMessage());
        }
        if (page_.aborted()) return stop();
        page_.step();
    }
    return Outcome::Ok;
}

Outcome SettingsWriterRun::moveFiles(const std::vector<SettingsFile>& files) {
    page_.status("Moving files to permanent directory...");
    page_.allowCancel(false);
    // A move of a file this run did not write (resolv.conf when dialing out) may find nothing to
    // move; only the moves of written files are judged by the device's answer.
    std::set<std::string> written;
    for (const SettingsFile& file : files)
        if (file.written) written.insert(file.path);
    for (const std::string& command : moveCommands(w_.settings(), network())) {
        std::string said;
        if (!runLine(command, network() ? kNetworkMoveTurns : kSerialMoveTurns, "mv:", said))
            return fail(Outcome::NoAnswer, "no prompt after " + command);
        if (!said.empty() && written.count(moveSource(command))) return fail(Outcome::Failed, said);
    }
    page_.step();
    if (w_.configDependSupported()) {
        std::string said;
        runLine("config depend=ALL", network() ? kNetworkDependTurns : kSerialDependTurns, "config:", said);
    }
    return Outcome::Ok;
}

Outcome SettingsWriterRun::saveAndReboot() {
    page_.status("Updating flash memory...");
    if (shell_.saveConfig(w_.configDependSupported() ? DeviceSession::SaveBy::ConfigTool
                                                     : DeviceSession::SaveBy::FlashDaemon) != Outcome::Ok)
        return fail(Outcome::NoAnswer, "the device did not save its settings");
    if (page_.aborted()) return stop();
    page_.step();
    page_.status("Rebooting the device...");
    if (!shell_.reboot()) return fail(Outcome::NoAnswer, "the reboot command could not be sent");
    while (page_.position() < kLastStep && !page_.aborted()) {
        page_.step();
        s_.timing().pause(kRebootStepPause);
    }
    shell_.logout(false);
    if (page_.aborted()) return Outcome::Cancelled;
    page_.allowCancel(true);
    page_.allowMoves(Moves::Next);
    page_.moveNext();
    return Outcome::Ok;
}

bool SettingsWriterRun::runLine(const std::string& line, int turns, std::string_view complaint,
                                std::string& said) {
    said.clear();
    shell_.drain();
    if (!shell_.sendLine(line)) return false;
    // A prompt on the line of the command's own echo is the one before it, not its end.
    for (int read = 0; read < kMaxReplyLines; ++read) {
        // Over the network the wait's text holds the whole reply; the console gives a line at a time.
        const int seen =
            network() ? shell_.expect(turns, {"> ", "# "}) : shell_.expect(turns, {complaint, "> ", "# "});
        if (!seen) return false;
        const std::string& text = shell_.seenText();
        if (said.empty()) said = lineHolding(text, complaint).substr(0, kMaxComplaint);
        if (shell_.isPromptLine(lastLine(text))) return true;
    }
    return false;
}

Outcome SettingsWriterRun::fail(Outcome outcome, const std::string& reason) {
    shell_.logout(true);
    return endFailed(outcome, reason);
}

Outcome SettingsWriterRun::endFailed(Outcome outcome, const std::string& reason) {
    page_.allowCancel(true);
    if (!reason.empty()) page_.status(reason);
    cannotProceed(page_, kFailureText);
    return outcome;
}

Outcome SettingsWriterRun::stop() {
    shell_.logout(false);
    return Outcome::Cancelled;
}

}  // namespace

Outcome writeSettings(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt,
                      const WriteOptions& options) {
    const Session::Claim claim = wizard.session().claim(Session::kClaimWait);
    if (!claim.held()) {
        cannotProceed(page, Session::kBusyText);
        return Outcome::Failed;
    }
    return SettingsWriterRun(wizard, page, prompt).run(options);
}

}  // namespace lm
