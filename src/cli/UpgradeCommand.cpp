#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/ExitStatus.h"
#include "cli/InterruptHandler.h"
#include "cli/MaintenanceCommand.h"
#include "cli/TerminalText.h"
#include "cli/TextTable.h"
#include "core/discovery/DeviceProbe.h"
#include "core/discovery/ModelTable.h"
#include "core/ops/DeviceBatch.h"
#include "core/ops/FirmwareFolder.h"
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
        command
            .add_option("--firmware-dir", firmwareDir_,
                        "Instead of FILE: give each device the newest image in DIR named for its model "
                        "(such as zelvixxl-4.10.0.bin) that is newer than its firmware; the others are "
                        "skipped")
            ->type_name("DIR");
        command.add_flag("--dry-run", dryRun_,
                         "With --firmware-dir: print each device's version and image, or why it is skipped, "
                         "and change nothing");
    }
    std::string check() override {
        if (keepConfig_ && saveNetwork_)
            return "--save-network goes with the erase: leave out --keep-config to use it";
        if (!pcAddress_.empty() && !parseIpv4(pcAddress_))
            return "--pc-address \"" + pcAddress_ + "\" is not an IPv4 address such as 192.168.1.7";
        if (!firmwareDir_.empty()) return checkFolderRun();
        if (dryRun_) return "--dry-run goes with --firmware-dir";
        auto& words = batch().hosts();
        // One word without --all is the device: the image is what is missing.
        if (words.size() > 1 || (batch().all() && !words.empty())) {
            file_ = words.back();
            words.pop_back();
        }
        if (!batch().all() && (words.empty() || file_.empty()))
            return missingArgument(words.empty() ? "HOST" : "FILE");
        if (file_.empty()) return missingArgument("FILE");
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
        if (dryRun_) return printPlan(context);
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
        options.folder = folder_;
        return upgradeBatchWork(options, context.session.profile(), context.session.timing());
    }

private:
    static constexpr const char* kModelUnknown =
        "the device's model is not known (no --id, and no usable answer to the discovery probe), so any "
        "file whose name holds \".bin\" passes as its firmware";
    static constexpr const char* kIgnoreModelHint = " (--ignore-model uses it all the same)";

    std::string checkFolderRun() {
        if (ignoreModel_)
            return "--ignore-model does not go with --firmware-dir: the folder's images fit by name";
        if (!id_.empty())
            return "--id does not go with --firmware-dir: each device's model and version are its own";
        // Read once, before anything is sent: every device chooses from the same files.
        folder_ = std::make_shared<const FirmwareFolder>(readFirmwareFolder(firmwareDir_));
        if (!folder_->error.empty()) return folder_->error;
        // One device too gets its row: skipped is a result, not a failure to explain.
        batch().workAsBatch();
        // A dry run sends nothing that needs the password.
        return dryRun_ ? batch().check() : MaintenanceCommand::check();
    }

    // Each device, its version and the image it would get or why it is skipped; nothing is sent
    // but the probe that asks a device it does not yet know of what it is.
    int printPlan(CommandContext& context) {
        std::vector<BatchDevice> devices = batch().devices(context);
        if (devices.empty()) {
            context.error("upgrade: the scan found no device");
            return kExitFailed;
        }
        const auto textOrNull = [](const std::string& text) {
            return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
        };
        auto array = nlohmann::ordered_json::array();
        TextTable table({"Host", "ID", "Version", "Image"});
        for (BatchDevice& device : devices) {
            const FolderChoice choice = folderChoiceFor(*folder_, device, context.session.profile());
            const bool readable = parseFirmwareVersion(device.version).has_value();
            table.addRow({device.host, device.id, device.version,
                          choice.image ? choice.image->name : "skipped: " + choice.skipReason});
            array.push_back({{"id", textOrNull(device.id)},
                             {"address", device.host},
                             {"version", readable ? nlohmann::ordered_json(device.version) : nullptr},
                             {"image", choice.image ? nlohmann::ordered_json(choice.image->name) : nullptr},
                             {"skipReason", textOrNull(choice.skipReason)}});
        }
        if (batch().json())
            context.out << array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        else
            table.print(context.out);
        return kExitDone;
    }

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
    std::string firmwareDir_;
    bool dryRun_ = false;
    std::shared_ptr<const FirmwareFolder> folder_;
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
