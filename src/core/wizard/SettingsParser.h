#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/link/FirmwareVersion.h"
#include "core/wizard/DeviceSettings.h"

namespace lm {

// Lookups over the lines of a device file. A key is found anywhere in a line, without regard to
// letter case; the value is the rest of the line after the key as the device wrote it, up to its
// line end.
class SettingsLines {
public:
    explicit SettingsLines(std::vector<std::string>& lines) : lines_(lines) {}

    // The value of the first line holding key; that line is then marked used, so the next take of
    // the same key finds the next such line.
    std::string take(std::string_view key);
    std::string peek(std::string_view key) const;
    bool has(std::string_view key) const;
    // Whether any line holds text as written.
    bool anyLineHolds(std::string_view text) const;

private:
    // Index of the first line holding key, or lines_.size().
    std::size_t find(std::string_view key) const;
    std::string valueAt(std::size_t index, std::string_view key) const;

    std::vector<std::string>& lines_;
};

// The ROM-version verdict of /etc/version: the firmware numbers as read, and whether they are
// missing or below 1 (the warning).
struct VersionFacts {
    FirmwareVersion firmware;
    bool romWarning = false;
};

// Each parses the lines of one file into the settings (the lines are consumed by the lookups).
VersionFacts parseVersionFile(std::vector<std::string>& lines, DeviceSettings& settings,
                              FirmwareVersion previous);
void parseIfconfig(std::vector<std::string>& lines, DeviceSettings& settings);
void parseBoaConf(std::vector<std::string>& lines, DeviceSettings& settings);
void parseDialoutConf(std::vector<std::string>& lines, DeviceSettings& settings);
void parseUploadFile(std::vector<std::string>& lines, DeviceSettings& settings);
void parseIfcfgEth0(std::vector<std::string>& lines, DeviceSettings& settings);
void parseNetworkFile(std::vector<std::string>& lines, DeviceSettings& settings);
void parseResolvConf(std::vector<std::string>& lines, DeviceSettings& settings);
void parseScheduleFile(std::vector<std::string>& lines, DeviceSettings& settings);

// The product family facts named on a version line.
bool namesSecondGeneration(std::string_view versionLine);
int deviceKindOf(std::string_view versionLine);

}  // namespace lm
