#pragma once

#include <string>

#include "core/ops/WorkerChannel.h"

namespace lm {

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
// Whether the file may be flashed into a device of the model: at once when its name fits, else
// only when the user answers Yes to the mismatch question asked through ui.
bool firmwareConfirmed(const std::string& romPath, int modelCode, WorkerChannel& ui);

}  // namespace lm
