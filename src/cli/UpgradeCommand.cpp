#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/ExitStatus.h"
#include "cli/InterruptHandler.h"
#include "cli/MaintenanceCommand.h"
#include "cli/TerminalText.h"
#include "core/discovery/DeviceProbe.h"
#include "core/discovery/ModelTable.h"
#include "core/ops/DeviceBatch.h"
#include "core/ops/FirmwareUpgrade.h"
#include "core/platform/EchoRequests.h"

namespace lm::cli {

namespace {

constexpr uint64_t kBytesPerProgressStep = 32 * 512;

void restoreEchoSettingAndExit(int) {
    EchoAllowance::restoreFromSignal();
    ::_exit(kExitInterrupted);
}

class UpgradeCommand : public MaintenanceCommand {
public:
    std::string name() const override { return "upgrade"; }
    std::string summary() const override {
        return "Replace a device's firmware with FILE, served by TFTP, erasing its configuration unless "
               "--keep-config";
    }
    std::string usage() const override { return "upgrade HOST FILE"; }
    void define(CLI::App& command) override {
        // HOST... FILE: the words after the command are the devices and, last, the image.
        MaintenanceCommand::define(command);
        command.get_option("HOST")->description(
            "Device addresses, several work on each of them; last the firmware image FILE (with --all, FILE "
            "alone)");
        command.add_option("--id", id_, "Device ID such as 024C55-C81234 (else asked of the device)");
        command.add_option("--pc-address", pcAddress_,
                           "This computer's address as the device reaches it (else the closest one)");
        command.add_flag("--keep-config", keepConfig_, "Keep the device's configuration (not recommended)");
        command.add_flag("--save-network", saveNetwork_,
                         "Keep the network settings through the erase (firmware 1.1.55 or newer)");
        command.add_flag("--ignore-model", ignoreModel_,
                         "Use FILE even where its name does not fit the device's model (--yes does not)");
    }
    std::string check() override {
        auto& words = batch().hosts();
        // One word without --all is the device: the image is what is missing.
        if (words.size() > 1 || (batch().all() && !words.empty())) {
            file_ = words.back();
            words.pop_back();
        }
        if (!batch().all() && (words.empty() || file_.empty()))
            return missingArgument(words.empty() ? "HOST" : "FILE");
        if (file_.empty()) return missingArgument("FILE");
        if (keepConfig_ && saveNetwork_)
            return "--save-network goes with the erase: leave out --keep-config to use it";
        if (!pcAddress_.empty() && !parseIpv4(pcAddress_))
            return "--pc-address \"" + pcAddress_ + "\" is not an IPv4 address such as 192.168.1.7";
        std::error_code error;
        if (!std::filesystem::is_regular_file(file_, error) || !std::ifstream(file_, std::ios::binary))
            return "cannot read the firmware image " + file_;
        return MaintenanceCommand::check();
    }
    int run(CommandContext& context) override {
        if (!pcAddress_.empty()) {
            if (const auto problem = pcAddressProblem(pcAddress_, context.session.profile());
                !problem.empty()) {
                context.error("upgrade: --pc-address: " + problem);
                return kExitUsage;
            }
        }
        if (batch().several()) return runBatch(context);
        const std::string id = deviceId(host(), id_, context.session);
        if (id.empty()) context.note(kModelUnknown);
        if (const auto mismatch = firmwareMismatch(file_, ModelTable::codeFromId(id)); !mismatch.empty()) {
            // Only a person at the terminal may take the risk; --yes answers the other questions.
            TerminalChannel asker(false, context.out, context.err);
            if (ignoreModel_) {
                context.note(mismatch + ": used as --ignore-model says");
            } else if (!firmwareConfirmed(file_, ModelTable::codeFromId(id), asker)) {
                context.error("upgrade: not upgraded: " + mismatch + kIgnoreModelHint);
                return kExitFailed;
            }
        }
        if (keepConfig_) context.note(std::string(kKeepConfigTitle) + " " + kKeepConfigWarning);
        if (pcAddress_.empty()) {
            pcAddress_ = pcAddressFor(context.session.profile(), host());
            if (pcAddress_.empty())
                context.note("this PC has no address to offer the device: give --pc-address");
        }
        // Every ending signal (Ctrl-C, SIGTERM, a dropped session, a closed pipe) puts back the echo
        // setting the upgrade may have changed, then ends the program with the interrupted status.
        const InterruptHandler guard(restoreEchoSettingAndExit);
        return MaintenanceCommand::run(context);
    }

protected:
    Worker worker(const DeviceLogin& login) const override { return workerFor(login, pcAddress_); }
    void prepareUi(TerminalChannel& ui, CommandContext& context) override {
        std::error_code error;
        const auto size = std::filesystem::file_size(file_, error);
        ui.showTransfer(error ? 0 : size, kBytesPerProgressStep, isTerminal(context.err));
    }

    BatchWork batchWork(const std::string& password, CommandContext& context) override {
        if (keepConfig_) context.note(std::string(kKeepConfigTitle) + " " + kKeepConfigWarning);
        UpgradeBatchOptions options;
        options.password = password;
        options.romPath = file_;
        options.pcAddress = pcAddress_;
        options.id = id_;
        options.eraseConfig = !keepConfig_;
        options.saveNetwork = saveNetwork_;
        options.ignoreModel = ignoreModel_;
        return upgradeBatchWork(options, context.session.profile(), context.session.timing());
    }

private:
    static constexpr const char* kModelUnknown =
        "the device's model is not known (no --id, and no usable answer to the discovery probe), so any "
        "file whose name holds \".bin\" passes as its firmware";
    static constexpr const char* kIgnoreModelHint = " (--ignore-model uses it all the same)";

    int runBatch(CommandContext& context) {
        // The echo setting the batch may have changed goes back on any ending signal as after the
        // last device.
        const InterruptHandler guard(restoreEchoSettingAndExit);
        return MaintenanceCommand::run(context);
    }

    // The upgrade of one device as the options ask.
    Worker workerFor(const DeviceLogin& login, const std::string& pcAddress) const {
        const UpgradeRequest request{login, file_, pcAddress, !keepConfig_, saveNetwork_};
        return [request](WorkerTask& task) { return upgradeWorker(task, request); };
    }

    // The ID that picks the firmware family: the one known, else the device's answer to a probe;
    // empty when the model stays unknown.
    static std::string deviceId(const std::string& host, const std::string& known, const Session& session) {
        if (!known.empty()) return known;
        const auto id = probeDeviceId(host, session.profile());
        if (id && ModelTable::codeFromId(*id) != ModelTable::kNoCode) return *id;
        return {};
    }

    std::string file_;
    std::string id_;
    std::string pcAddress_;
    bool keepConfig_ = false;
    bool saveNetwork_ = false;
    bool ignoreModel_ = false;
};

}  // namespace

std::unique_ptr<Command> makeUpgradeCommand() {
    return std::make_unique<UpgradeCommand>();
}

}  // namespace lm::cli
