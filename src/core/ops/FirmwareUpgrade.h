#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/link/Outcome.h"
#include "core/link/TftpServer.h"
#include "core/ops/WorkerTask.h"
#include "core/platform/InterfaceTable.h"
#include "core/platform/NetworkProfile.h"

namespace lm {

// Control ids of the "Upgrade Firmware" dialog that the worker and the windows share.
constexpr int kUpgradeStartButton = 1194;   // "Upgrade"
constexpr int kUpgradeRomFileField = 1193;  // "ROM File:"
constexpr int kUpgradeBrowseButton = 1245;  // "..."
constexpr int kUpgradeProgressBar = 1196;
constexpr int kUpgradeEraseBox = 1233;        // "Erase Old Config:"
constexpr int kUpgradePcAddressField = 1285;  // "This computer's address:"
constexpr int kUpgradeSaveNetworkBox = 1319;  // "Save Network Settings ..."

// The name the device's flash tool asks the PC's TFTP server for.
constexpr const char* kUpgradeImageName = "bootimage.bin";

// Which firmware files belong to a device model: the file dialog's entry for the family (empty when
// the model code is unknown) and the part of the file name that such firmware carries.
struct FirmwareFamily {
    std::string filterEntry;     // "Zelvix XL Binary Files|zelvixxl-*.bin"
    std::string expectedPrefix;  // "zelvixxl-"; ".bin" for an unknown code
};
FirmwareFamily firmwareFamily(int modelCode);
// The file dialog's filter: the family entry and "|" when there is one, then the catch-all entry.
std::string firmwareFilter(const FirmwareFamily& family);
// Whether the file's name (its folders aside), compared without case, carries the family's
// expected prefix.
bool looksLikeFamilyFirmware(const std::string& romPath, const FirmwareFamily& family);
// The names the family's firmware has, for messages: "zelvixxl-*.bin"; "*.bin" for an unknown model.
std::string firmwarePattern(const FirmwareFamily& family);
// Empty when the file looks like firmware for the model code; otherwise why not, as
// "FILE is not for MODEL (expects PATTERN)".
std::string firmwareMismatch(const std::string& romPath, int modelCode);

// The question asked before a file that does not look like this device's firmware is used; it
// names the pattern the device's firmware follows.
constexpr const char* kMismatchTitle = "Firmware Upgrade Version Mismatch";
std::string mismatchQuestion(const FirmwareFamily& family);
// The warning shown when the user chooses to keep the old configuration.
constexpr const char* kKeepConfigTitle = "Warning!";
constexpr const char* kKeepConfigWarning =
    "You have chosen not to erase the old device\n"
    "configuration.  While this may have the advantage\n"
    "of keeping your old settings, the new firmware\n"
    "upgrade may not be compatible with old configuration\n"
    "settings and may produce erratic results. It is strongly\n"
    "recommended that you keep this box checked\n"
    "and take the time to re-run the setup wizard after\n"
    "the firmware upgrade.";

// This computer's address for a device: of the PC's addresses (0.0.0.0 and 127.0.0.1 left out), the
// one numerically closest to the device's; the first on a tie; empty when there is none.
std::string closestLocalAddress(const std::vector<InterfaceRow>& interfaces, Ipv4 device);
// Empty when text is one of this PC's own IPv4 addresses; otherwise what is wrong with it. The
// device is told to fetch its image from this address.
std::string pcAddressProblem(const std::string& text, const NetworkProfile& profile);
// Shows a TFTP code's words in a "TFTP Error" box of ui (when given) unless the code is 0; true
// when the code counts as a failure (a second open of the socket does not).
bool reportTftpError(const TftpServer& tftp, int code, WorkerChannel* ui);

// The worker of the "Upgrade Firmware" dialog: reads the dialog's fields and check boxes through
// the task's window, logs in, proves the device reaches this computer, erases (and saves the
// network settings) as asked, starts the flash tool and serves it the image.
Outcome upgradeWorker(WorkerTask& task);

class UpgradeBatch;
// The same for one device of a batch upgrade: the device is admitted to the batch's TFTP port, which
// hears its request, and its image goes out from a port of its own; the echo setting is the batch's.
Outcome batchUpgradeWorker(WorkerTask& task, UpgradeBatch& batch);

}  // namespace lm
