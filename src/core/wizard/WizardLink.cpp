#include "core/wizard/WizardLink.h"

#include "core/wizard/WizardPages.h"

namespace lm {

LoginResult loginWithAttempts(Session& session, PasswordPrompt* prompt, bool stopOnCancel) {
    LoginResult result = LoginFailed;
    for (int attempt = 0; attempt < 3; ++attempt) {
        result = session.loginNetwork(session.settings().targetIp, true, prompt);
        if (result == LoginOk) break;
        if (stopOnCancel && result == LoginCancelled) break;
        // A password that cannot be sent will not become sendable by trying again.
        if (result == LoginBadPassword) break;
    }
    return result;
}

bool openWizardSerialPort(Session& session, WizardPage& page) {
    SerialLink& serial = session.serial();
    if (serial.open(session.settings().serialPort) == 0) return true;
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
    page.showText(wizard::kCannotProceed, true);
    page.buttons(WizardPageUi::kBack);
    return false;
}

void cannotProceed(WizardPage& page, const std::string& status) {
    page.status(status);
    page.showText(wizard::kCannotProceed, true);
    page.buttons(WizardPageUi::kBack);
}

}  // namespace lm
