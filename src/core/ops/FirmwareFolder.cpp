#include "core/ops/FirmwareFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/discovery/ModelTable.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

// Nine digits at most, so a number always fits an int.
constexpr std::size_t kMaxDigits = 9;

// Reads "MAJOR.MINOR.PATCH" from the start of text; how many characters it took, 0 when none.
std::size_t readVersion(std::string_view text, FirmwareVersion& version) {
    int* parts[] = {&version.major, &version.minor, &version.patch};
    std::size_t at = 0;
    for (std::size_t part = 0; part < 3; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return 0;
            ++at;
        }
        const std::size_t first = at;
        int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < kMaxDigits)
            value = value * 10 + (text[at++] - '0');
        if (at == first || (at < text.size() && text[at] >= '0' && text[at] <= '9')) return 0;
        *parts[part] = value;
    }
    return at;
}

std::string pathText(const std::filesystem::path& path) {
    return path.string();
}

}  // namespace

std::optional<FirmwareVersion> parseFirmwareVersion(std::string_view text) {
    FirmwareVersion version;
    if (readVersion(text, version) != text.size() || text.empty()) return std::nullopt;
    return version;
}

std::string versionText(const FirmwareVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

std::optional<FirmwareVersion> imageVersion(std::string_view fileName, const FirmwareFamily& family) {
    // Without a family any ".bin" would fit: a folder never chooses for a model it does not know.
    if (family.filterEntry.empty()) return std::nullopt;
    const std::string name = asciiLower(fileName);
    const std::string prefix = asciiLower(family.expectedPrefix);
    if (!name.starts_with(prefix)) return std::nullopt;
    std::string_view rest = std::string_view(name).substr(prefix.size());
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '_')) rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == 'v') rest.remove_prefix(1);
    FirmwareVersion version;
    const std::size_t taken = readVersion(rest, version);
    if (taken == 0 || rest.substr(taken) != ".bin") return std::nullopt;
    return version;
}

FirmwareFolder readFirmwareFolder(const std::string& path) {
    namespace fs = std::filesystem;
    FirmwareFolder folder;
    folder.path = path;
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        folder.error =
            error ? "cannot read the folder " + path + ": " + error.message() : path + " is not a folder";
        return folder;
    }
    fs::directory_iterator entry(path, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        std::error_code fileError;
        // A folder or a device named like an image is none; an empty file carries no firmware.
        if (!entry->is_regular_file(fileError) || entry->file_size(fileError) == 0 || fileError) continue;
        folder.files.push_back({pathText(entry->path()), pathText(entry->path().filename())});
    }
    if (error) {
        folder.files.clear();
        folder.error = "cannot read the folder " + path + ": " + error.message();
        return folder;
    }
    std::sort(folder.files.begin(), folder.files.end(),
              [](const FirmwareFolder::File& a, const FirmwareFolder::File& b) { return a.name < b.name; });
    return folder;
}

std::vector<FirmwareImage> fittingImages(const FirmwareFolder& folder, int modelCode) {
    const FirmwareFamily family = firmwareFamily(modelCode);
    std::vector<FirmwareImage> images;
    for (const FirmwareFolder::File& file : folder.files) {
        if (const auto version = imageVersion(file.name, family))
            images.push_back({file.path, file.name, *version});
    }
    std::stable_sort(images.begin(), images.end(),
                     [](const FirmwareImage& a, const FirmwareImage& b) { return a.version > b.version; });
    return images;
}

FolderChoice chooseFolderImage(const FirmwareFolder& folder, int modelCode, std::string_view deviceVersion) {
    if (!folder.error.empty()) return {std::nullopt, folder.error};
    const FirmwareFamily family = firmwareFamily(modelCode);
    if (family.filterEntry.empty()) return {std::nullopt, "its model is not known, so no image fits it"};
    const std::vector<FirmwareImage> images = fittingImages(folder, modelCode);
    if (images.empty())
        return {std::nullopt, "no image for " + ModelTable::nameForCode(modelCode) + " (" +
                                  firmwarePattern(family) + " with a version) in the folder"};
    const FirmwareImage& newest = images.front();
    const auto current = parseFirmwareVersion(deviceVersion);
    if (!current)
        return {std::nullopt, "its firmware version \"" + std::string(deviceVersion) +
                                  "\" cannot be read, so no image counts as newer"};
    if (*current == newest.version) return {std::nullopt, "already at " + versionText(newest.version)};
    if (*current > newest.version)
        return {std::nullopt,
                "its " + versionText(*current) + " is newer than the newest image, " + newest.name};
    if (images.size() > 1 && images[1].version == newest.version)
        return {std::nullopt, "two images of version " + versionText(newest.version) + ": " + newest.name +
                                  " and " + images[1].name + "; keep one"};
    return {newest, {}};
}

}  // namespace lm
