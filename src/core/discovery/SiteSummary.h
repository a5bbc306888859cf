#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "core/discovery/SiteDevice.h"

namespace lm {

// The head of the site report: how many devices, by type and by firmware, and which fail.
struct SiteSummary {
    struct Failing {
        std::string id;      // the device's ID, else its address
        std::string reason;  // plain words
    };

    std::size_t devices = 0;
    std::map<std::string, std::size_t> byType;      // an unknown type counts as "Unknown"
    std::map<std::string, std::size_t> byFirmware;  // likewise an unknown firmware
    std::vector<Failing> failing;                   // in the order of the devices
};

// Why the device fails, in plain words; empty when it does not. A device fails when its settings
// could not be read, its activity report did not complete, or it failed the production test; a
// device with several reasons gives them all.
std::string siteDeviceFailure(const SiteDevice& device);

SiteSummary siteSummary(const std::vector<SiteDevice>& devices);

}  // namespace lm
