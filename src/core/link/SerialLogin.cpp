#include "core/link/SerialLogin.h"

#include "core/link/ShellInput.h"

namespace lm {

namespace {
bool has(const std::string& line, const char* part) {
    return line.find(part) != std::string::npos;
}
}  // namespace

void leaveEditor(SerialLink& serial, const Timing& timing) {
    serial.write("\x1b");
    timing.pause(Milliseconds(300));
    serial.write(":q!\n");
}

SerialLoginResult serialConsoleLogin(SerialLink& serial, std::string& currentPassword,
                                     const std::string& defaultPassword, PasswordPrompt* prompt,
                                     const SerialLoginWatch& watch) {
    const auto stop = [&watch] { return watch.stopRequested && watch.stopRequested(); };
    if (!serial.write("\n\n")) return SerialLoginResult::WriteFailed;
    int answer = serial.expect(2, {"> ", "# ", "ogin:"});
    if (stop()) return SerialLoginResult::Stopped;
    if (!answer) answer = serial.expect(2, {"> ", "# ", "ogin:"});
    if (stop()) return SerialLoginResult::Stopped;
    if (!answer) {
        // A console left inside the editor answers nothing until the editor is left.
        if (watch.status) watch.status("Checking for other program running... ");
        leaveEditor(serial, serial.timing());
        answer = serial.expect(2, {"> ", "# ", "ogin:"});
        if (stop()) return SerialLoginResult::Stopped;
    }
    if (!answer) return SerialLoginResult::NoDevice;

    auto fail = [&](SerialLoginResult result) {
        currentPassword = defaultPassword;
        return result;
    };
    while (true) {
        if (!has(serial.currentLine, "ogin:")) return SerialLoginResult::LoggedIn;
        // Never typed: a line end inside it would end the login and run the rest at the shell.
        if (hasControlCharacter(currentPassword)) return fail(SerialLoginResult::PasswordCancelled);
        serial.write("admin\n");
        serial.expect(5, {"> ", "# ", "assword:"});
        serial.write(currentPassword + "\n");
        serial.expect(5, {"> ", "# ", "ogin incorrect"});
        if (!has(serial.currentLine, "ogin incorrect")) return SerialLoginResult::LoggedIn;

        do {
            if (!prompt || !prompt->askPassword(currentPassword))
                return fail(SerialLoginResult::PasswordCancelled);
        } while (currentPassword.empty() || hasControlCharacter(currentPassword));
        serial.write("\n");
        const int next = serial.expect(5, {"> ", "# ", "ogin:"});
        if (has(serial.currentLine, "ogin:")) continue;
        if (next) return SerialLoginResult::LoggedIn;
        if (!serial.expect(5, {"ogin:"})) return fail(SerialLoginResult::LoginProblems);
    }
}

std::string serialLoginText(SerialLoginResult result, const std::string& portName, bool specific) {
    switch (result) {
        case SerialLoginResult::LoggedIn:
        case SerialLoginResult::Stopped:
            return {};
        case SerialLoginResult::WriteFailed:
            return "Serial port transmission error!";
        case SerialLoginResult::NoDevice:
            return specific ? "A device was not present on " + portName + "."
                            : "A device was not found on any serial port.";
        case SerialLoginResult::PasswordCancelled:
            return "Invalid password!";
        case SerialLoginResult::LoginProblems:
            return "Login problems!";
    }
    return {};
}

std::string serialOpenText(SerialLink::OpenError error) {
    switch (error) {
        case SerialLink::OpenError::NotFound:
            return "The specified serial port was not found!";
        case SerialLink::OpenError::InUse:
            return "The serial port was already in use by another application!";
        default:
            return "There was an unknown error opening the specified serial port!";
    }
}

}  // namespace lm
