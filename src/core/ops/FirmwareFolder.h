#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/FirmwareVersion.h"
#include "core/ops/FirmwareFamily.h"

namespace lm {

// "4.10.0" read as three numbers; none for anything else (a marker such as "Unknown (ARP)", a
// fourth number, a sign, a number too long to be one).
std::optional<FirmwareVersion> parseFirmwareVersion(std::string_view text);
std::string versionText(const FirmwareVersion& version);

// The version a firmware file's name gives for the family: the name, in any case, is the family's
// expected prefix, an optional "-" or "_" and "v", the version and ".bin" ("zelvixxl-4.10.0.bin",
// "ZelvixXL-v4.10.0.BIN"); none when the name does not fit or the family is not known.
std::optional<FirmwareVersion> imageVersion(std::string_view fileName, const FirmwareFamily& family);

// A firmware image of a folder for one model.
struct FirmwareImage {
    std::string path;
    std::string name;
    FirmwareVersion version;
};

// The plain files of a folder, read once for every device of a run.
struct FirmwareFolder {
    struct File {
        std::string path;
        std::string name;
    };
    std::string path;
    std::vector<File> files;  // by name
    std::string error;        // why the folder could not be read; empty when it was
};
FirmwareFolder readFirmwareFolder(const std::string& path);

// The folder's images for the model, newest first (by name within a version).
std::vector<FirmwareImage> fittingImages(const FirmwareFolder& folder, int modelCode);

// What a folder upgrade does to one device: the image to flash, or why the device is left alone.
struct FolderChoice {
    std::optional<FirmwareImage> image;
    std::string skipReason;  // empty when there is an image
};
// The newest image in the folder for the model that is newer than the device's version text. A
// version that cannot be read is never taken as older than an image, and two images of the
// newest version leave the choice to the user.
FolderChoice chooseFolderImage(const FirmwareFolder& folder, int modelCode, std::string_view deviceVersion);

}  // namespace lm
