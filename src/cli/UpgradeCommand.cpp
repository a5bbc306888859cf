#include <unistd.h>

#include <filesystem>

#include "ExitStatus.h"
#include "InterruptHandler.h"
#include "MaintenanceCommand.h"
#include "TerminalText.h"
#include "discovery/DeviceProbe.h"
#include "discovery/ModelTable.h"
#include "ops/FirmwareUpgrade.h"
#include "platform/EchoRequests.h"

namespace lm::cli {

namespace {

constexpr Milliseconds kProbeWait{1500};
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
        MaintenanceCommand::define(command);
        command.add_option("FILE", file_, "Firmware image");
        command.add_option("--id", id_, "Device ID such as 024C55-C81234 (else asked of the device)");
        command.add_option("--pc-address", pcAddress_,
                           "This computer's address as the device reaches it (else the closest one)");
        command.add_flag("--keep-config", keepConfig_, "Keep the device's configuration (not recommended)");
        command.add_flag("--save-network", saveNetwork_,
                         "Keep the network settings through the erase (firmware 1.1.55 or newer)");
    }
    std::string check() override {
        if (host().empty() || file_.empty()) return missingArgument(host().empty() ? "HOST" : "FILE");
        if (keepConfig_ && saveNetwork_)
            return "--save-network goes with the erase: leave out --keep-config to use it";
        if (!pcAddress_.empty() && !parseIpv4(pcAddress_))
            return "--pc-address \"" + pcAddress_ + "\" is not an IPv4 address such as 192.168.1.7";
        return MaintenanceCommand::check();
    }
    int run(CommandContext& context) override {
        TerminalOperationUi asker({}, {}, assumeYes(), context.out, context.err);
        if (!looksLikeFamilyFirmware(file_, firmwareFamily(ModelTable::codeFromId(deviceId(context)))) &&
            asker.messageBox(kMismatchQuestion, kMismatchTitle, OperationUi::Icon::Warning,
                             OperationUi::Buttons::YesNo) != OperationUi::kYes) {
            context.error("upgrade: not upgraded: the file was not confirmed (--yes confirms it)");
            return kExitFailed;
        }
        if (keepConfig_) context.note(std::string(kKeepConfigTitle) + " " + kKeepConfigWarning);
        if (pcAddress_.empty()) {
            const auto rows = context.session.profile().interfaceTable();
            pcAddress_ = rows ? closestLocalAddress(*rows, *parseIpv4(host())) : std::string();
            if (pcAddress_.empty())
                context.note("this PC has no address to offer the device: give --pc-address");
        }
        // Ctrl-C and SIGTERM put back the echo setting the upgrade may have changed, then end the
        // program with the interrupted status.
        const InterruptHandler guard(restoreEchoSettingAndExit);
        return MaintenanceCommand::run(context);
    }

protected:
    Worker worker() const override { return upgradeWorker; }
    int startButton() const override { return kUpgradeStartButton; }
    std::map<int, bool> checks() const override {
        return {{kUpgradeEraseBox, !keepConfig_}, {kUpgradeSaveNetworkBox, saveNetwork_}};
    }
    void prepareUi(TerminalOperationUi& ui, CommandContext& context) override {
        ui.setFieldText(kUpgradeRomFileField, file_);
        ui.setFieldText(kUpgradePcAddressField, pcAddress_);
        std::error_code error;
        const auto size = std::filesystem::file_size(file_, error);
        ui.showTransfer(error ? 0 : size, kBytesPerProgressStep, isTerminal(context.err));
    }

private:
    // The ID that picks the firmware family: --id, else the device's answer to a probe.
    std::string deviceId(CommandContext& context) const {
        if (!id_.empty()) return id_;
        const auto reply = probeDevice(*parseIpv4(host()), context.session.profile(), kProbeWait);
        if (reply && ModelTable::codeFromId(reply->id) != ModelTable::kNoCode) return reply->id;
        context.note(
            "the device's model is not known (no --id, and no usable answer to the discovery probe), so any "
            "file whose name holds \".bin\" passes as its firmware");
        return {};
    }

    std::string file_;
    std::string id_;
    std::string pcAddress_;
    bool keepConfig_ = false;
    bool saveNetwork_ = false;
};

}  // namespace

std::unique_ptr<Command> makeUpgradeCommand() {
    return std::make_unique<UpgradeCommand>();
}

}  // namespace lm::cli
