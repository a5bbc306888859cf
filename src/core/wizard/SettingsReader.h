#pragma once

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

// The read page's worker: logs in over the session's link, reads the device's configuration files
// into wizard.settings() and the firmware numbers into the session, and presses Next when done.
Outcome readSettings(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt);

}  // namespace lm
