#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/link/Outcome.h"
#include "core/link/TftpServer.h"
#include "core/ops/FirmwareFamily.h"
#include "core/ops/WorkerTask.h"
#include "core/platform/InterfaceTable.h"
#include "core/platform/NetworkProfile.h"

namespace lm {

// The name the device's flash tool asks the PC's TFTP server for.
constexpr const char* kUpgradeImageName = "bootimage.bin";

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

struct UpgradeRequest : DeviceLogin {
    std::string romPath;
    std::string pcAddress;  // this computer's address, which the device fetches the image from
    bool eraseConfig = true;
    bool saveNetwork = false;  // kept through the erase
};

// This computer's address for a device: of the PC's addresses (0.0.0.0 and 127.0.0.1 left out), the
// one numerically closest to the device's; the first on a tie; empty when there is none.
std::string closestLocalAddress(const std::vector<InterfaceRow>& interfaces, Ipv4 device);
// The address an upgrade offers the device at deviceAddress: of the profile's interfaces, the
// closest; empty when the address or the interfaces cannot be read, or none is left.
std::string pcAddressFor(const NetworkProfile& profile, const std::string& deviceAddress);
// Empty when text is one of this PC's own IPv4 addresses; otherwise what is wrong with it. The
// device is told to fetch its image from this address.
std::string pcAddressProblem(const std::string& text, const NetworkProfile& profile);
// Shows a TFTP code's words in a "TFTP Error" box of ui (when given) unless the code is 0; true
// when the code counts as a failure (a second open of the socket does not).
bool reportTftpError(const TftpServer& tftp, int code, WorkerChannel* ui);

// The worker of the "Upgrade Firmware" dialog: checks the file and this computer's address, logs
// in, proves the device reaches this computer, erases (and saves the network settings) as asked,
// starts the flash tool and serves it the image.
OperationResult upgradeWorker(WorkerTask& task, const UpgradeRequest& request);

class UpgradeBatch;
// The same for one device of a batch upgrade: the device is admitted to the batch's TFTP port, which
// hears its request, and its image goes out from a port of its own; the echo setting is the batch's.
OperationResult batchUpgradeWorker(WorkerTask& task, const UpgradeRequest& request, UpgradeBatch& batch);

}  // namespace lm
