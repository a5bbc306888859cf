#include "link/SerialLogin.h"

namespace lm {

namespace {
bool has(const std::string& line, const char* part) {
    return line.find(part) != std::string::npos;
}
}  // namespace

SerialLoginResult serialConsoleLogin(SerialLink& serial, std::string& currentPassword,
                                     const std::string& defaultPassword, PasswordPrompt* prompt,
                                     const std::function<void(const std::string&)>& status) {
    if (!serial.Write("\n\n")) return SerialLoginResult::WriteFailed;
    int answer = serial.Expect(2, {"> ", "# ", "ogin:"});
    if (!answer) answer = serial.Expect(2, {"> ", "# ", "ogin:"});
    if (!answer) {
        // A console left inside the editor answers nothing until the editor is left.
        if (status) status("Checking for other program running... ");
        serial.Write("\x1b:q!\n");
        answer = serial.Expect(2, {"> ", "# ", "ogin:"});
    }
    if (!answer) return SerialLoginResult::NoDevice;

    currentPassword = defaultPassword;
    auto fail = [&](SerialLoginResult result) {
        currentPassword = defaultPassword;
        return result;
    };
    while (true) {
        if (!has(serial.currentLine, "ogin:")) return SerialLoginResult::LoggedIn;
        serial.Write("admin\n");
        serial.Expect(5, {"> ", "# ", "assword:"});
        serial.Write(currentPassword + "\n");
        serial.Expect(5, {"> ", "# ", "ogin incorrect"});
        if (!has(serial.currentLine, "ogin incorrect")) return SerialLoginResult::LoggedIn;

        if (!prompt || !prompt->askPassword(currentPassword))
            return fail(SerialLoginResult::PasswordCancelled);
        serial.Write("\n");
        const int next = serial.Expect(5, {"> ", "# ", "ogin:"});
        if (has(serial.currentLine, "ogin:")) continue;
        if (next) return SerialLoginResult::LoggedIn;
        if (!serial.Expect(5, {"ogin:"})) return fail(SerialLoginResult::LoginProblems);
    }
}

}  // namespace lm
