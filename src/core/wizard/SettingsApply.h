#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/wizard/PageWalk.h"
#include "core/wizard/WizardSession.h"

namespace lm {

// Takes the fields of wanted named in given into the settings read from the device, and walks the
// pages from the read page to the summary as a person typing them would, so every page's rules
// and warnings apply; `accept` is shown each box on the way. Nothing is sent to the device.
wizard::WalkResult takeSettings(WizardSession& wizard, const DeviceSettings& wanted,
                                const std::set<std::string>& given,
                                const std::function<bool(int page, const wizard::PageMessage&)>& accept);

// One editable field whose text differs between two sets of settings.
struct SettingChange {
    std::string name;
    std::string before;
    std::string after;
    bool operator==(const SettingChange&) const = default;
};

// The editable fields that differ, in the order of the pages.
std::vector<SettingChange> settingChanges(const DeviceSettings& before, const DeviceSettings& after);

}  // namespace lm
