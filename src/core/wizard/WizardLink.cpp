#include "core/wizard/WizardLink.h"

#include "core/wizard/WizardPages.h"

namespace lm {

LoginResult loginWithAttempts(WizardSession& wizard, PasswordPrompt* prompt, bool stopOnCancel) {
    LoginResult result = LoginFailed;
    for (int attempt = 0; attempt < 3; ++attempt) {
        result = wizard.session().loginNetwork(wizard.settings().targetIp, true, prompt);
        if (result == LoginOk) break;
        if (stopOnCancel && result == LoginCancelled) break;
        // A password that cannot be sent will not become sendable by trying again.
        if (result == LoginBadPassword) break;
    }
    return result;
}

bool openWizardSerialPort(WizardSession& wizard, WizardPage& page) {
    SerialLink& serial = wizard.session().serial();
    if (serial.open(wizard.settings().serialPort) == 0) return true;
    page.beep();
    switch (serial.lastOpenError()) {
        case SerialLink::OpenError::NotFound:
            page.status("Error, serial port not found!");
            break;
        case SerialLink::OpenError::InUse:
            page.status("Error, serial port already in use!");
            break;
        default:
            page.status("Error trying to open serial port!");
            break;
    }
    serial.close();
    page.showNotice(Notice::CannotProceed, true);
    page.allowMoves(Moves::Back);
    return false;
}

void cannotProceed(WizardPage& page, const std::string& status) {
    page.status(status);
    page.showNotice(Notice::CannotProceed, true);
    page.allowMoves(Moves::Back);
}

}  // namespace lm
