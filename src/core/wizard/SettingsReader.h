#pragma once

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/link/Session.h"
#include "core/wizard/WizardPage.h"

namespace lm {

// The read page's worker: logs in over the session's link, reads the device's configuration files
// into session.settings() and the firmware numbers into the session, and presses Next when done.
Outcome readSettings(Session& session, WizardPage& page, PasswordPrompt* prompt);

}  // namespace lm
