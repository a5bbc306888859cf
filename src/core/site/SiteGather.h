#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "core/discovery/SiteDevice.h"
#include "core/link/Session.h"
#include "core/platform/NetworkProfile.h"
#include "core/platform/Timing.h"

namespace lm {

struct SiteGatherRequest {
    NetworkProfile profile;
    Timing timing;
    std::string password = Session::kDefaultPassword;  // the admin password every login starts with
    int jobs = 4;                                      // devices read at once, each on its own Session
    bool withTests = false;  // also the activity report and the production test of every device
};

// The records a report covers: each address once, in the order given, a device's own answer to the
// probe preferred to what the ARP table or an echo made of the same address.
std::vector<DeviceRecord> siteRecords(const std::vector<DeviceRecord>& records);

// Reads what the site report shows of every device: its picture over HTTP, its settings as the
// Setup Wizard reads them and, with the tests, its activity report and production verdict. Changes
// nothing on the devices. A device that cannot be read keeps a reason in place of what was missed.
// onDevice is called once per device as it is done (from the job threads, one call at a time);
// once stop is set no further device is begun and those left say so.
std::vector<SiteDevice> gatherSite(
    const std::vector<DeviceRecord>& records, const SiteGatherRequest& request,
    const std::function<void(std::size_t done, const SiteDevice&)>& onDevice = {},
    const std::atomic<bool>* stop = nullptr);

// The picture of one device: GET "/image.jpg" with a short budget; what is wrong with it in
// device.pictureProblem when it is missing, not a picture, or not one a browser should be given.
void fetchSitePicture(SiteDevice& device, const std::string& address, const NetworkProfile& profile);

}  // namespace lm
