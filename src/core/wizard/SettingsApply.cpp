#include "core/wizard/SettingsApply.h"

#include "core/wizard/PageRules.h"
#include "core/wizard/SettingsFields.h"

namespace lm {

wizard::WalkResult takeSettings(WizardSession& wizard, const DeviceSettings& wanted,
                                const std::set<std::string>& given,
                                const std::function<bool(int page, const wizard::PageMessage&)>& accept) {
    DeviceSettings& settings = wizard.settings();
    for (const std::string& name : given)
        if (const auto* field = wizard::findSettingsField(name)) wizard::copyField(*field, wanted, settings);
    WizardModel model = wizard.model();
    const int first = wizard::nextPage(wizard::kReadSettings, model, {}).next;
    return wizard::walkPages(model, first, wanted, given, accept);
}

std::vector<SettingChange> settingChanges(const DeviceSettings& before, const DeviceSettings& after) {
    std::vector<SettingChange> changes;
    for (const wizard::SettingsField& field : wizard::settingsFields()) {
        std::string was = wizard::fieldText(before, field);
        std::string now = wizard::fieldText(after, field);
        if (was != now) changes.push_back({field.name, std::move(was), std::move(now)});
    }
    return changes;
}

}  // namespace lm
