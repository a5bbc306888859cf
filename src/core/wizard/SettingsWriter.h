#pragma once

#include <functional>

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/wizard/SettingsFiles.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

struct WriteOptions {
    // Sets the device's clock from this computer even when the settings do not ask for it.
    bool setClock = false;
    // Reads and checks only: the probes run, then `planned` is handed the files that would be
    // written, and nothing is written, moved, saved or set.
    bool dryRun = false;
    std::function<void(const std::vector<SettingsFile>&)> planned;
};

// The summary page's worker: writes the wizard's settings to the device as files under /var/tmp
// (keeping what the device's files hold besides the settings), moves them into /etc/config, saves, reboots
// and waits; presses Next when done. Ok only when every file read back as written and the device saved them.
Outcome writeSettings(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt,
                      const WriteOptions& options = {});

}  // namespace lm
