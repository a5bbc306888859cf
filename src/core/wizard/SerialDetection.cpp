#include "core/wizard/SerialDetection.h"

#include "core/link/DeviceSession.h"
#include "core/wizard/SettingsParser.h"

namespace lm {

namespace {

constexpr int kPortCount = 32;
constexpr int kStepsPerPort = 3;
constexpr const char* kNotFoundAnywhere = "A device was not found on any serial port.";

}  // namespace

Outcome detectSerialDevice(WizardSession& wizard, WizardPage& page, PasswordPrompt* prompt, int portChoice) {
    const bool specific = portChoice > 0 && portChoice <= kPortCount;
    const int first = specific ? portChoice : 1;
    const int last = specific ? portChoice : kPortCount;
    page.progressRange(0, (last - first + 1) * kStepsPerPort);
    int steps = 0;
    const auto advance = [&](int count) {
        steps += count;
        page.progress(steps);
    };

    Session& session = wizard.session();
    DeviceSettings& settings = wizard.settings();
    SerialLink& serial = session.serial();
    DeviceSession shell(session);
    const Session::Claim claim = session.claim(Session::kClaimWait);
    if (!claim.held()) {
        settings.serialPort = "The serial port is busy with another operation.";
        page.allowMoves(Moves::Next);
        page.moveNext();
        return Outcome::Failed;
    }
    bool found = false;
    Outcome outcome = Outcome::NoAnswer;
    for (int port = first; port <= last && !page.aborted() && !found; ++port) {
        const std::string name = "COM" + std::to_string(port);
        const std::string absent = specific ? "A device was not present on " + name + "." : kNotFoundAnywhere;
        settings.serialPort = name;
        advance(1);
        if (serial.open(name) != 0) {
            advance(2);
            settings.serialPort = specific ? serialOpenText(serial.lastOpenError()) : kNotFoundAnywhere;
            page.status("Passing " + name + "...");
            session.timing().pause(Milliseconds(100));
            continue;
        }
        page.status("Checking for a device on " + name + "...");
        advance(1);
        session.resetPassword();
        const SerialLoginResult login = session.loginSerial(
            prompt,
            {[&page](const std::string& text) { page.status(text); }, [&page] { return page.aborted(); }});
        advance(1);
        if (login == SerialLoginResult::Stopped) {
            serial.close();
            break;
        }
        if (login != SerialLoginResult::LoggedIn) {
            serial.close();
            settings.serialPort = serialLoginText(login, name, specific);
            if (login == SerialLoginResult::PasswordCancelled) outcome = Outcome::Refused;
            continue;
        }
        if (!shell.sendLine("cat /etc/version")) {
            serial.close();
            settings.serialPort = "Serial port transmission error!";
            continue;
        }
        const int named =
            shell.expect(8, {"Zelvix", "zelvix", "Draviel", "Wardlumen", "PellMandor", "Farloomer"});
        if (!named || page.aborted()) {
            serial.close();
            settings.serialPort = absent;
            continue;
        }
        settings.secondGeneration = namesSecondGeneration(shell.seenText());
        settings.deviceKind = deviceKindOf(shell.seenText());
        serial.close();
        settings.serialPort = name;
        found = true;
    }
    serial.close();
    if (page.aborted()) return Outcome::Cancelled;
    page.allowMoves(Moves::Next);
    page.moveNext();
    return found ? Outcome::Ok : outcome;
}

}  // namespace lm
