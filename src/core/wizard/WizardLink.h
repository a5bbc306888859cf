#pragma once

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

// The openings that the reading and writing workers share.

// Logs in over telnet to settings().targetIp with the session's password, at most three attempts.
// The reader stops at once when the password prompt was cancelled (stopOnCancel); the writer tries
// again after any failure. The result is the last attempt's.
LoginResult loginWithAttempts(WizardSession& wizard, PasswordPrompt* prompt, bool stopOnCancel);

// Opens the serial port named by settings().serialPort. On failure: beep, the open error in the
// status ("Error, serial port not found!" ...), the port closed, the failure line shown and only
// Back enabled; false.
bool openWizardSerialPort(WizardSession& wizard, WizardPage& page);

// The end of a worker that cannot go on: unless aborted, the status text, the failure line shown
// and only Back enabled.
void cannotProceed(WizardPage& page, const std::string& status);

}  // namespace lm
