#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/ops/WorkerChannel.h"
#include "core/wizard/WizardModel.h"
#include "core/wizard/WizardPages.h"

namespace lm::wizard {

// One control of a page as the rules see it: the desktop pages show these and hand them back; the
// command line program types its values into them.
struct ControlState {
    std::string text;      // a field's text, a combo's chosen text, a label's text
    bool checked = false;  // check boxes and radio buttons
    bool enabled = true;
    bool visible = true;
};
using PageView = std::map<Field, ControlState>;

// A message box a page shows: warnings and errors with the exclamation icon, the two information
// boxes with the information icon.
struct PageMessage {
    enum class Icon { Warning, Information };
    std::string text;
    std::string title;
    Icon icon = Icon::Warning;
    Field focus = Field::None;  // the control that gets the focus afterwards
};

// What Next did: the page shown next (kStay when refused) and the boxes shown first, in order.
// When the page stays, the last message says why.
struct PageAnswer {
    int next = kStay;
    std::vector<PageMessage> messages;
};

// The lists of the modem, baud and provider combos and of the serial port combo, in their order.
const std::vector<std::string>& modemNames();
const std::vector<std::string>& baudRates();
const std::vector<std::string>& providerNames();
const std::vector<std::string>& serialPortNames();  // "AUTO", "COM1" … "COM32"

// Initialisation, once per wizard run when the page is first shown: the controls' starting state,
// applying the page's own rules to the model (the modem page recognises the modem, the transmit
// page may force uploading). Pages without editable content give their fixed texts.
PageView initialisePage(int page, WizardModel& model);

// Activation, every time the page is shown: the sheet's buttons (Moves::Back | Moves::Next...) and
// what the page shows from the model then (the serial result page's texts). `listSelected` says
// whether the device list has a selected row.
Moves activatePage(int page, const WizardModel& model, PageView& view, bool listSelected = false);

// A click or choice on a control that has rules (Autogen Mask, the modem combo, the unit and window
// radios, Everyday and Only on, Delete before rename, the upload radios): updates model and view.
void controlChanged(int page, Field control, WizardModel& model, PageView& view);

// Next: stores the view into the model, runs the page's checks, and answers. On the worker pages
// (110, 142, 137) this is the Next that the finished worker presses.
PageAnswer nextPage(int page, WizardModel& model, const PageView& view);

// Back: the page shown before.
int previousPage(int page, const WizardModel& model);

// The device list's choice: the device's ID and address column (a ":port" suffix is dropped).
void chooseDevice(DeviceSettings& settings, const std::string& id, const std::string& addressColumn);

// The summary page's text, composed from the model.
std::string summaryText(const DeviceSettings& settings);

// Whether a serial detection result names a port ("COM1" … "COM32") rather than a failure.
bool isPortName(const std::string& result);

}  // namespace lm::wizard
