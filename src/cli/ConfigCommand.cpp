#include <unistd.h>

#include <fstream>
#include <iostream>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/InterruptHandler.h"
#include "cli/PlanSubcommand.h"
#include "cli/SiteSubcommands.h"
#include "cli/TerminalChannel.h"
#include "cli/TerminalPasswordPrompt.h"
#include "cli/TerminalText.h"
#include "core/platform/Ipv4.h"
#include "core/platform/WholeNumber.h"
#include "core/wizard/DeviceReturn.h"
#include "core/wizard/FileValueRules.h"
#include "core/wizard/PageWalk.h"
#include "core/wizard/SerialDetection.h"
#include "core/wizard/SettingsApply.h"
#include "core/wizard/SettingsFields.h"
#include "core/wizard/SettingsJson.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/SettingsWriter.h"

namespace lm::cli {

namespace {

constexpr Milliseconds kReturnLimit{120000};

// An ending signal (Ctrl-C, SIGTERM, a hang-up, a closed pipe) stops the wizard's worker at its next
// step, except while the device saves and reboots: then the stop waits until it has.
std::atomic<bool>* gAbort = nullptr;
std::atomic<bool> gInterrupted{false};

void interrupted(int signal) {
    gInterrupted = true;
    // A note into a closed pipe would only raise the signal again.
    if (!TerminalChannel::cancelEnabled() && signal != SIGPIPE) {
        constexpr char kWait[] =
            "\nlmtools-cli: the device is saving its settings; stopping once it has rebooted\n";
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kWait, sizeof kWait - 1);
    }
    if (!TerminalChannel::cancelEnabled()) return;
    if (gAbort) gAbort->store(true);
}

// Points the interrupt handler at one run's abort flag while it lives.
class InterruptDeferral {
public:
    explicit InterruptDeferral(std::atomic<bool>& abort) : handler_(interrupted) {
        gAbort = &abort;
        gInterrupted = false;
    }
    ~InterruptDeferral() { gAbort = nullptr; }
    InterruptDeferral(const InterruptDeferral&) = delete;
    InterruptDeferral& operator=(const InterruptDeferral&) = delete;

private:
    InterruptHandler handler_;
};

// Reads a device's settings, and with apply writes them back changed.
class ConfigCommand : public Command {
public:
    std::string name() const override { return "config"; }
    std::string summary() const override {
        return "Show a device's settings, or apply settings from a JSON file as the Setup Wizard would; back "
               "up "
               "and restore the settings of several devices";
    }
    void define(CLI::App& command) override {
        command.require_subcommand(1);
        show_ = command.add_subcommand("show", "Read the device's settings and print them: show HOST");
        apply_ = command.add_subcommand(
            "apply",
            "Read the device, take the settings FILE gives, check them page by page and write them: "
            "apply HOST FILE (- for standard input)");
        for (CLI::App* part : {show_, apply_}) {
            part->add_option("HOST", host_, "Device address (leave out with --serial)")->type_name("");
            part->add_option("--serial", serial_,
                             "Use the console on a serial port: COM1..COM32, or AUTO to find it");
            passwords_[part == apply_].addTo(
                *part, "Admin password to start with (else LMTOOLS_PASSWORD, else the default)");
        }
        // With --serial the one word given is the file: check() sorts them out.
        apply_
            ->add_option("FILE", file_,
                         "The settings as config show --json prints them; - for standard input")
            ->type_name("");
        show_->add_flag("--json", json_, "Print JSON (the form apply takes)");
        apply_->add_flag("--dry-run", dryRun_, "Read and check only: print the files it would write");
        apply_->add_flag("--set-time", setTime_, "Also set the device's clock from this computer");
        apply_->add_flag("-y,--yes", assumeYes_, "Accept every warning");
        apply_->add_flag("--no-wait", noWait_, "Do not wait for the device to come back after its reboot");
        site_.addTo(command);
        plan_.addTo(command);
    }

    std::string usage() const override {
        if (site_.parsed()) return site_.usage();
        if (plan_.parsed()) return plan_.usage();
        if (apply_ && apply_->parsed()) return "config apply HOST FILE";
        return show_ && show_->parsed() ? "config show HOST" : name();
    }

    std::string check() override {
        if (site_.parsed()) return site_.check();
        if (plan_.parsed()) return plan_.check();
        const bool applying = apply_->parsed();
        words_.clear();
        for (const std::string* word : {&host_, &file_})
            if (!word->empty()) words_.push_back(*word);
        const std::size_t wanted = (serial_.empty() ? 1 : 0) + (applying ? 1 : 0);
        if (words_.size() != wanted) {
            if (!serial_.empty() && words_.size() == wanted + 1) return "give HOST or --serial, not both";
            return words_.size() < wanted
                       ? missingArgument(applying && words_.size() == wanted - 1 ? "FILE" : "HOST")
                       : "too many arguments";
        }
        if (serial_.empty()) {
            if (auto problem = hostProblem(words_[0]); !problem.empty()) return problem;
        } else if (portChoice() < 0) {
            return "--serial takes COM1..COM32 or AUTO, not \"" + serial_ + "\"";
        }
        if (auto problem = passwords_[apply_->parsed()].check(); !problem.empty()) return problem;
        if (applying && words_.back() == "-" && password().readsStandardInput())
            return "standard input cannot give both the password and FILE";
        return {};
    }

    int run(CommandContext& context) override {
        if (site_.parsed()) return site_.run(context);
        if (plan_.parsed()) return plan_.run(context);
        Session& session = context.session;
        if (const auto given = password().given()) session.setStartPassword(*given);
        DeviceSettings wanted;
        std::set<std::string> given;
        if (apply_->parsed()) {
            const std::string problem = loadFile(words_.back(), wanted, given);
            if (!problem.empty()) {
                context.error("config apply: " + problem);
                return kExitUsage;
            }
        }
        TerminalPasswordPrompt prompt(site());
        prompt_ = TerminalPasswordPrompt::available() ? &prompt : nullptr;
        terminal_ = isTerminal(context.err);

        const auto state = std::make_shared<OperationState>();
        const InterruptDeferral deferral(state->closing);
        WizardSession wizard(session);
        if (const int read = readDevice(context, wizard, state); read != kExitDone) return read;
        if (!apply_->parsed()) {
            printSettings(context, wizard.settings());
            return kExitDone;
        }
        return applySettings(context, wizard, state, wanted, given);
    }

private:
    // Each subcommand has its own option; only the one given counts.
    const PasswordOption& password() const { return passwords_[apply_->parsed()]; }
    std::string site() const { return serial_.empty() ? words_[0] : serial_; }

    // 0 for AUTO, n for COMn, -1 for anything else.
    int portChoice() const {
        if (serial_ == "AUTO") return 0;
        if (!serial_.starts_with("COM")) return -1;
        const auto number =
            parseWholeNumber(std::string_view(serial_).substr(3), 1, SerialPortMap::kPortCount);
        return number && serial_ == "COM" + std::to_string(*number) ? *number : -1;
    }
    // FILE, or standard input for "-".
    static std::string loadFile(const std::string& path, DeviceSettings& wanted,
                                std::set<std::string>& given) {
        const std::string name = path == "-" ? "standard input" : path;
        std::ifstream file;
        if (path != "-") {
            file.open(path, std::ios::binary);
            if (!file) return name + ": cannot be read";
        }
        nlohmann::json json;
        std::string problem = readSettingsJson(path == "-" ? std::cin : file, json);
        if (problem.empty()) problem = settingsFromJson(json, wanted, given);
        // A value that would change the meaning of a device file is refused before any device is reached.
        if (problem.empty()) problem = unwritableSetting(wanted, given);
        return problem.empty() ? problem : name + ": " + problem;
    }

    int finish(Outcome outcome, const TerminalChannel& page, CommandContext& context) const {
        if (gInterrupted) {
            context.error("config: interrupted");
            return kExitInterrupted;
        }
        if (outcome == Outcome::Refused || page.cancelPressed())
            context.error("config: the device refused the password");
        else if (outcome != Outcome::Ok && context.quiet)
            context.error(page.lastStatus());
        return exitStatusFor(outcome);
    }

    // Finds the device (over a serial port) and reads its settings into the wizard's.
    int readDevice(CommandContext& context, WizardSession& wizard,
                   const std::shared_ptr<OperationState>& state) {
        Session& session = context.session;
        DeviceSettings& settings = wizard.settings();
        session.setConnectionIsNetwork(serial_.empty());
        if (serial_.empty()) {
            settings.targetIp = words_[0];
        } else {
            TerminalChannel detecting(context.err, context.quiet, terminal_);
            WizardPage page(detecting, state);
            const Outcome found = detectSerialDevice(wizard, page, prompt_, portChoice());
            detecting.breakLine();
            if (found != Outcome::Ok) {
                if (!gInterrupted) context.error("config: " + settings.serialPort);
                return finish(found, detecting, context);
            }
        }
        TerminalChannel reading(context.err, context.quiet, terminal_);
        WizardPage page(reading, state);
        const Outcome read = readSettings(wizard, page, prompt_);
        reading.breakLine();
        return finish(read, reading, context);
    }

    void printSettings(CommandContext& context, const DeviceSettings& settings) const {
        const FirmwareVersion& firmware = context.session.firmware();
        if (json_) {
            // Device text need not be UTF-8; invalid bytes become U+FFFD instead of failing the dump.
            context.out << settingsToJson(settings, firmware)
                               .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                        << '\n';
            return;
        }
        const auto line = [&](const std::string& name, const std::string& value) {
            context.out << name << ": " << deviceText(value, context.out) << '\n';
        };
        for (const wizard::SettingsField& field : wizard::settingsFields())
            line(field.name, wizard::fieldText(settings, field));
        line("firmware", std::to_string(firmware.major) + "." + std::to_string(firmware.minor) + "." +
                             std::to_string(firmware.patch));
        line("macAddress", settings.macAddress);
        line("deviceKind", std::to_string(settings.deviceKind));
        line("secondGeneration", settings.secondGeneration ? "yes" : "no");
        if (!serial_.empty()) line("serialPort", settings.serialPort);
    }

    // A box a page shows on the way: information is printed, a warning needs --yes or a yes.
    bool accept(const wizard::PageMessage& message, CommandContext& context) const {
        context.err << message.text << '\n';
        if (message.icon == wizard::PageMessage::Icon::Information || assumeYes_) return true;
        const auto answer = askYesNo(message.title + ": go on? [y/N] ");
        if (!answer) context.error("config apply: a warning needs --yes or an answer on a terminal");
        return answer.value_or(false);
    }

    int applySettings(CommandContext& context, WizardSession& wizard,
                      const std::shared_ptr<OperationState>& state, const DeviceSettings& wanted,
                      const std::set<std::string>& given) {
        DeviceSettings& settings = wizard.settings();
        const auto walk = takeSettings(wizard, wanted, given, [&](int, const wizard::PageMessage& message) {
            return accept(message, context);
        });
        if (!walk.reachedSummary) {
            // A warning not accepted was printed as it was asked; a refusal is printed here.
            if (walk.stop && !walk.declined) context.error(walk.stop->text);
            context.error("config apply: nothing was written");
            return kExitFailed;
        }
        for (const std::string& name : given) {
            const auto* field = wizard::findSettingsField(name);
            if (field && wizard::fieldText(settings, *field) != wizard::fieldText(wanted, *field))
                context.note(name + " is \"" + wizard::fieldText(settings, *field) +
                             "\" after the pages' rules, not \"" + wizard::fieldText(wanted, *field) + "\".");
        }
        context.out << deviceText(wizard::summaryText(settings), context.out) << '\n';

        TerminalChannel writing(context.err, context.quiet, terminal_);
        WizardPage page(writing, state);
        WriteOptions options;
        options.dryRun = dryRun_;
        options.setClock = setTime_;
        options.planned = [&context](const std::vector<SettingsFile>& files) {
            printFiles(files, context.out);
        };
        const Outcome written = writeSettings(wizard, page, prompt_, options);
        writing.breakLine();
        if (written != Outcome::Ok || dryRun_ || gInterrupted) return finish(written, writing, context);
        return waitForReturn(context, settings);
    }

    int waitForReturn(CommandContext& context, const DeviceSettings& settings) const {
        const Session& session = context.session;
        if (noWait_ || !settings.primaryIsNetwork) return gInterrupted ? kExitInterrupted : kExitDone;
        const std::string where = settings.ipDhcp ? "under DHCP" : "at " + settings.ipAddress;
        if (!context.quiet) context.err << "Waiting for the device to come back " << where << "...\n";
        const auto address =
            waitForDeviceReturn(settings, deviceIdFromMac(settings.macAddress), session.profile(),
                                session.timing(), kReturnLimit, [] { return gInterrupted.load(); });
        if (gInterrupted) return kExitInterrupted;
        if (!address) {
            context.error("config apply: the device did not come back " + where + " within " +
                          std::to_string(kReturnLimit.count() / 1000) + " s");
            return kExitFailed;
        }
        if (!context.quiet) context.err << "The device answers at " << *address << ".\n";
        return kExitDone;
    }

    // The files hold the device's own lines: on a terminal they are cleaned like all its text.
    static void printFiles(const std::vector<SettingsFile>& files, std::ostream& out) {
        for (const SettingsFile& file : files) {
            out << "== " << file.path << (file.written ? "" : " (not written: the device makes it)") << '\n';
            for (const std::string& line : file.lines)
                out << deviceText(line, out) << '\n';
        }
    }

    static std::string deviceText(const std::string& text, const std::ostream& out) {
        return isTerminal(out) ? terminalSafe(text) : text;
    }

    CLI::App* show_ = nullptr;
    CLI::App* apply_ = nullptr;
    std::string host_, file_;
    std::vector<std::string> words_;  // HOST and FILE as given
    std::string serial_;
    PasswordOption passwords_[2];  // show, apply
    PasswordPrompt* prompt_ = nullptr;
    bool terminal_ = false;
    bool json_ = false;
    bool dryRun_ = false;
    bool setTime_ = false;
    bool assumeYes_ = false;
    bool noWait_ = false;
    SiteSubcommands site_;
    PlanSubcommand plan_;
};

}  // namespace

std::unique_ptr<Command> makeConfigCommand() {
    return std::make_unique<ConfigCommand>();
}

}  // namespace lm::cli
