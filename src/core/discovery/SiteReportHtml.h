#pragma once

#include <string>
#include <vector>

#include "core/discovery/SiteDevice.h"

namespace lm {

struct SiteReportOptions {
    std::string title = "Site Report";
    std::string takenAt;  // when the devices were read, as shown ("2026-12-08 05:30 UTC")
    bool withTests = false;
};

// The handover report as one self-contained HTML file: the site summary, a chart of temperature and
// frame rate per device (with the tests), then a card per device. Pictures are inlined as data:
// URIs, a missing or unreadable one as a placeholder; the style is inline and prints on A4 and
// Letter alike; the page's own policy allows no script and no fetch. Every device text is escaped.
std::string siteReportHtml(const std::vector<SiteDevice>& devices, const SiteReportOptions& options);

}  // namespace lm
