#include "core/discovery/SiteSummary.h"

#include "core/discovery/DeviceRecord.h"

namespace lm {

namespace {

std::string knownOr(const std::string& text) {
    return text.empty() || isUnknownText(text) || text == kArpOnlyVersion ? std::string(kUnknownText) : text;
}

}  // namespace

std::string siteDeviceFailure(const SiteDevice& device) {
    std::string reasons;
    const auto add = [&reasons](const std::string& reason) {
        if (!reasons.empty()) reasons += "; ";
        reasons += reason;
    };
    if (!device.settingsProblem.empty()) add("settings not read: " + device.settingsProblem);
    if (device.tests) {
        if (!device.tests->reportComplete)
            add("activity report incomplete" +
                (device.tests->reportComment.empty() ? std::string() : ": " + device.tests->reportComment));
        if (device.tests->verdict == "No") {
            std::string findings;
            for (const std::string& finding : device.tests->productionFindings)
                findings += (findings.empty() ? " (" : ", ") + finding;
            add("failed the production test" + findings + (findings.empty() ? "" : ")"));
        }
    }
    return reasons;
}

SiteSummary siteSummary(const std::vector<SiteDevice>& devices) {
    SiteSummary summary;
    summary.devices = devices.size();
    for (const SiteDevice& device : devices) {
        ++summary.byType[knownOr(device.type)];
        ++summary.byFirmware[knownOr(device.firmware)];
        if (std::string reason = siteDeviceFailure(device); !reason.empty())
            summary.failing.push_back({device.id.empty() ? device.address : device.id, std::move(reason)});
    }
    return summary;
}

}  // namespace lm
