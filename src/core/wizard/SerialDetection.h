#pragma once

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

// The serial port page's worker: finds the device's console on the chosen port (portChoice n is
// "COMn"; 0 tries COM1 to COM32), logs in, and checks /etc/version. Leaves settings().serialPort
// holding the port's name on success, else the words for what went wrong; the port is closed
// either way. Unless aborted, enables Next alone and presses it.
Outcome detectSerialDevice(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt, int portChoice);

}  // namespace lm
