#include "core/wizard/PageWalk.h"

#include <algorithm>
#include <array>

#include "core/wizard/SettingsFields.h"

namespace lm::wizard {

namespace {

constexpr int kMostPages = 32;  // more than the wizard has: a loop in the rules cannot hang a walk
constexpr std::array<std::pair<int, Field>, 3> kUnitRadios{
    {{1, Field::SecondsRadio}, {60, Field::MinutesRadio}, {3600, Field::HoursRadio}}};

// Clicks a radio button of a group: it alone is checked, then its rules run.
void click(int page, Field radio, const std::vector<Field>& group, WizardModel& model, PageView& view) {
    if (view[radio].checked) return;
    for (Field other : group)
        view[other].checked = other == radio;
    controlChanged(page, radio, model, view);
}

// What a person sees in the control that shows field: whether it already holds the wanted value.
bool shows(const ControlState& state, const SettingsField& field, const DeviceSettings& wanted) {
    switch (field.kind) {
        case SettingsField::Kind::Text:
            return state.text == wanted.*field.text;
        case SettingsField::Kind::Modem:
            return state.text == modemModelName(wanted.modemModel);
        case SettingsField::Kind::Number:
            return state.checked;
        case SettingsField::Kind::Flag:
            return field.offControl != Field::None ? state.checked : state.checked == wanted.*field.flag;
    }
    return true;
}

// Types one field into its page, as far as the page lets a person.
void type(int page, const SettingsField& field, const DeviceSettings& wanted, WizardModel& model,
          PageView& view) {
    Field control = field.control;
    if (field.kind == SettingsField::Kind::Number) {
        const auto unit = std::find_if(kUnitRadios.begin(), kUnitRadios.end(),
                                       [&](const auto& pair) { return pair.first == wanted.*field.number; });
        if (unit == kUnitRadios.end()) return;
        control = unit->second;
    } else if (field.kind == SettingsField::Kind::Flag && field.offControl != Field::None) {
        control = wanted.*field.flag ? field.control : field.offControl;
    }
    ControlState& state = view[control];
    if (shows(state, field, wanted) || !state.enabled || !state.visible) return;

    switch (field.kind) {
        case SettingsField::Kind::Text:
            state.text = wanted.*field.text;
            if (field.verifyControl != Field::None) view[field.verifyControl].text = state.text;
            break;
        case SettingsField::Kind::Modem:
            state.text = modemModelName(wanted.modemModel);
            controlChanged(page, control, model, view);
            break;
        case SettingsField::Kind::Number:
            click(page, control, {Field::SecondsRadio, Field::MinutesRadio, Field::HoursRadio}, model, view);
            break;
        case SettingsField::Kind::Flag:
            if (field.offControl != Field::None) {
                click(page, control, {field.control, field.offControl}, model, view);
            } else {
                state.checked = wanted.*field.flag;
                controlChanged(page, control, model, view);
            }
            break;
    }
}

}  // namespace

WalkResult walkPages(WizardModel& model, int from, const DeviceSettings& wanted,
                     const std::set<std::string>& given,
                     const std::function<bool(int page, const PageMessage&)>& accept) {
    WalkResult result;
    int page = from;
    while (page != kSummary && static_cast<int>(result.visited.size()) < kMostPages) {
        result.visited.push_back(page);
        PageView view = initialisePage(page, model);
        activatePage(page, model, view);
        for (const SettingsField& field : settingsFields())
            if (field.page == page && given.contains(field.name)) type(page, field, wanted, model, view);

        const PageAnswer answer = nextPage(page, model, view);
        for (std::size_t i = 0; i < answer.messages.size(); ++i) {
            const PageMessage& message = answer.messages[i];
            const bool refusal = answer.next == kStay && i + 1 == answer.messages.size();
            if (refusal || !accept(page, message)) {
                result.stoppedAt = page;
                result.stop = message;
                result.declined = !refusal;
                return result;
            }
        }
        if (answer.next == kStay) {
            result.stoppedAt = page;
            return result;
        }
        page = answer.next;
    }
    result.reachedSummary = page == kSummary;
    if (!result.reachedSummary) result.stoppedAt = page;
    return result;
}

}  // namespace lm::wizard
