#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace lm {

// One device of a site's backup: what the scan and the read told of it, and its settings as config
// show --json prints them, or why they could not be read.
// NOLINTNEXTLINE(bugprone-exception-escape): clang-tidy 14 cannot see that the json member's move is noexcept
struct SavedDevice {
    std::string id;  // empty only for a device that could not be read and did not say who it is
    std::string address;
    std::string mac;
    std::string deviceType;
    std::string version;
    nlohmann::ordered_json settings;  // null when they could not be read
    std::string problem;              // why they could not be read
};

// The settings of the devices of a site, as one file holds them.
struct SiteFile {
    std::string programVersion;  // of the program that wrote it
    std::string takenAt;         // UTC, "2026-12-08T05:30:00Z"
    std::vector<SavedDevice> devices;
};

// The file's JSON: "devices" keyed by ID, and under "unidentified" the devices whose ID is not
// known or was taken by a device before them.
nlohmann::ordered_json siteToJson(const SiteFile& site);

// Reads a site file's JSON strictly; empty when site holds it, else what is wrong. A device's
// settings are checked only when they are restored, so one bad entry spoils only its device.
std::string siteFromJson(const nlohmann::json& json, SiteFile& site);

// Reads the file at path (at most 64 MiB); empty when site holds it, else what is wrong.
std::string readSiteFile(const std::string& path, SiteFile& site);

// Writes the file, readable by its owner only, beside its place and then moves it there, so a
// failed write never leaves half a file; empty when written, else what is wrong.
std::string writeSiteFile(const std::string& path, const SiteFile& site);

// The time given, and the time now, as the file gives it.
std::string siteTimeText(std::int64_t secondsSinceEpoch);
std::string siteTimeNow();

}  // namespace lm
