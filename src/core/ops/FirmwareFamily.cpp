#include "core/ops/FirmwareFamily.h"

#include <filesystem>

#include "core/discovery/ModelTable.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

struct FamilyRow {
    int firstCode;
    int lastCode;
    const char* filterEntry;
    const char* expectedPrefix;
};

// Model codes 200-207 interleave two families, hence the single-code rows.
constexpr FamilyRow kFamilies[] = {
    {192, 192, "Zelvix Binary Files|zelvix-5206e-*.bin", "zelvix-5206e"},
    {193, 193, "Zelvix 2 Binary Files|zelvix-5407-*.bin", "zelvix-5407"},
    {194, 194, "Video Server Binary Files|draviel6-5407-*.bin", "draviel6-5407"},
    {195, 195, "PellMandor Binary Files|pellmandor-5407*.bin", "pellmandor-5407"},
    {196, 196, "Zelvix 2 MP Binary Files|zelvix-5407-*.bin", "zelvix-5407"},
    {197, 197, "Single Video Server Binary Files|draviel6-5407-*.bin", "draviel6-5407"},
    {198, 198, "Farloomer Binary Files|farloomer-*.bin", "farloomer-"},
    {199, 199, "Draviel 1 Binary Files|draviel-*.bin", "draviel-"},
    {200, 202, "Zelvix XL Binary Files|zelvixxl-*.bin", "zelvixxl-"},
    {206, 206, "Zelvix XL Binary Files|zelvixxl-*.bin", "zelvixxl-"},
    {203, 205, "Draviel XL Binary Files|dravielxl-*.bin", "dravielxl-"},
    {207, 207, "Draviel XL Binary Files|dravielxl-*.bin", "dravielxl-"},
    {208, 209, "Zelvix SC Binary Files|zelvixsc-*.bin", "zelvixsc-"},
};

}  // namespace

FirmwareFamily firmwareFamily(int modelCode) {
    for (const FamilyRow& row : kFamilies) {
        if (modelCode >= row.firstCode && modelCode <= row.lastCode)
            return {row.filterEntry, row.expectedPrefix};
    }
    return {"", ".bin"};
}

std::string firmwareFilter(const FirmwareFamily& family) {
    std::string filter = family.filterEntry;
    if (!filter.empty()) filter += "|";
    return filter + "All Binary Files (*.bin)|*.bin||";
}

bool looksLikeFamilyFirmware(const std::string& romPath, const FirmwareFamily& family) {
    // A folder named after a model says nothing of the file in it.
    const std::string name = std::filesystem::path(romPath).filename().string();
    return asciiLower(name).find(asciiLower(family.expectedPrefix)) != std::string::npos;
}

std::string firmwarePattern(const FirmwareFamily& family) {
    return family.filterEntry.empty() ? "*.bin" : family.expectedPrefix + "*.bin";
}

std::string firmwareMismatch(const std::string& romPath, int modelCode) {
    const FirmwareFamily family = firmwareFamily(modelCode);
    if (looksLikeFamilyFirmware(romPath, family)) return {};
    return std::filesystem::path(romPath).filename().string() + " is not for " +
           ModelTable::nameForCode(modelCode) + " (expects " + firmwarePattern(family) + ")";
}

std::string mismatchQuestion(const FirmwareFamily& family) {
    return "WARNING!!!  This file does not appear to be a valid selection to\n"
           "upgrade the firmware on this particular device.  If you change to\n"
           "incorrect firmware you may have to send the device back to the\n"
           "manufacturer for repair.\n\n"
           "This device takes firmware files named " +
           firmwarePattern(family) +
           ".\n\n"
           "Are you sure you want to risk making this device useless?";
}

bool firmwareConfirmed(const std::string& romPath, int modelCode, WorkerChannel& ui) {
    const FirmwareFamily family = firmwareFamily(modelCode);
    if (looksLikeFamilyFirmware(romPath, family)) return true;
    return ui.ask({mismatchQuestion(family), kMismatchTitle, Question::Icon::Warning, Choices::YesNo}) ==
           Answer::Yes;
}

}  // namespace lm
