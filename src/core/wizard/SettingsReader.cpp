#include "core/wizard/SettingsReader.h"

#include <array>
#include <string_view>

#include "core/link/DeviceSession.h"
#include "core/ops/WorkerTask.h"
#include "core/wizard/SettingsParser.h"
#include "core/wizard/WizardLink.h"
#include "core/wizard/WizardPages.h"

namespace lm {

namespace {

constexpr int kSteps = 10;
constexpr const char* kReadFailure = "Error during read of configuration settings!";
constexpr std::string_view kConfigFolder = "/etc/config/";

using Parse = void (*)(std::vector<std::string>&, DeviceSettings&);

enum class Step { Done, Skipped, Failed };

class Reader {
public:
    Reader(WizardSession& wizard, WizardPage& page)
        : wizard_(wizard), session_(wizard.session()), page_(page), shell_(session_) {}

    Outcome run(PasswordPrompt* prompt) {
        const Session::Claim claim = session_.claim(Session::kClaimWait);
        if (!claim.held()) {
            cannotProceed(page_, Session::kBusyText);
            return Outcome::Failed;
        }
        page_.progressRange(0, kSteps);
        page_.startSteps();
        // Lines of another device, or of an earlier read, must never be written to this one.
        wizard_.settings().filesAsRead.clear();
        if (const auto opened = open(prompt); opened != Outcome::Ok) return opened;
        session_.setShellPrompt(shell_.readPrompt());
        if (page_.aborted()) return abandon();

        if (read("/etc/version", [this](auto& lines, auto& settings) { readVersion(lines, settings); }) !=
            Step::Done)
            return failure(Outcome::NoAnswer);
        if (page_.aborted()) return abandon();

        DeviceSettings& settings = wizard_.settings();
        settings.macAddress = DeviceSettings::kUnknownMac;
        page_.status("Reading ifconfig -a...");
        if (const Outcome ran = shell_.runCommand("ifconfig -a"); ran == Outcome::NoAnswer) {
            return failure(ran);
        } else if (ran == Outcome::Ok) {
            parseIfconfig(session_.remoteLines(), settings);
            page_.step();
        }

        const bool second = settings.secondGeneration;
        const std::array<std::pair<const char*, Parse>, 7> files{{
            {"/etc/config/boa.conf", parseBoaConf},
            {"/etc/config/dialout.conf", parseDialoutConf},
            {second ? "/etc/config/ftp0.conf" : "/etc/config/ftp.conf", parseUploadFile},
            {"/etc/config/ifcfg-eth0", parseIfcfgEth0},
            {"/etc/config/network", parseNetworkFile},
            {"/etc/config/resolv.conf", parseResolvConf},
            {second ? "/etc/config/sched0.conf" : "/etc/config/sched.conf", parseScheduleFile},
        }};
        for (const auto& [path, parse] : files) {
            if (page_.aborted()) return abandon();
            if (read(path, parse) == Step::Failed) return failure(Outcome::NoAnswer);
        }
        if (page_.aborted()) return abandon();
        page_.step();
        shell_.logout(true);
        if (page_.aborted()) return Outcome::Cancelled;
        page_.allowMoves(Moves::Next);
        page_.moveNext();
        return Outcome::Ok;
    }

private:
    Outcome open(PasswordPrompt* prompt) {
        if (session_.connectionIsNetwork()) {
            page_.status("Establishing communication via network...");
            session_.resetPassword();
            const LoginResult login = loginWithAttempts(wizard_, prompt, true);
            if (login == LoginOk) return Outcome::Ok;
            if (login == LoginRefused) {
                // The device ended the conversation over the password: the wizard gives up.
                page_.cancelRun();
                return Outcome::Refused;
            }
            // Cancelled: the device refused the password and no other was given.
            return failure(login == LoginFailed      ? Outcome::NoAnswer
                           : login == LoginCancelled ? Outcome::Refused
                                                     : Outcome::Failed);
        }
        page_.status("Establishing communication via serial port...");
        if (!openWizardSerialPort(wizard_, page_)) return Outcome::NoAnswer;
        if (shell_.sendLine("cd /") && shell_.expect(5, {"cd"})) return Outcome::Ok;
        page_.beep();
        session_.serial().close();
        cannotProceed(page_, "Communications error!");
        return Outcome::NoAnswer;
    }

    void readVersion(std::vector<std::string>& lines, DeviceSettings& settings) {
        const VersionFacts facts = parseVersionFile(lines, settings, session_.firmware());
        session_.setFirmware(facts.firmware);
        if (facts.romWarning) {
            page_.showNotice(Notice::RomWarning, true);
            page_.beep();
        }
    }

    // One file: its status, the read, the parse and a progress step. A file the device cannot
    // read is skipped; /etc/version must be read.
    template <typename ParseFile>
    Step read(const std::string& path, ParseFile parse) {
        page_.status("Reading " + path + "...");
        const Outcome result = shell_.readRemoteFile(path);
        if (result == Outcome::NoAnswer) return Step::Failed;
        if (result != Outcome::Ok) return Step::Skipped;
        if (path.starts_with(kConfigFolder)) {
            std::vector<std::string>& kept =
                wizard_.settings().filesAsRead[path.substr(kConfigFolder.size())];
            for (const std::string& line : session_.remoteLines())
                kept.push_back(line.substr(0, line.find_first_of("\r\n")));
        }
        parse(session_.remoteLines(), wizard_.settings());
        page_.step();
        return Step::Done;
    }

    Outcome failure(Outcome outcome) {
        shell_.logout(true);
        if (page_.aborted()) return Outcome::Cancelled;
        cannotProceed(page_, kReadFailure);
        return outcome;
    }

    Outcome abandon() {
        shell_.logout(false);
        return Outcome::Cancelled;
    }

    WizardSession& wizard_;
    Session& session_;
    WizardPage& page_;
    DeviceSession shell_;
};

}  // namespace

Outcome readSettings(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt) {
    return Reader(wizard, page).run(prompt);
}

}  // namespace lm
