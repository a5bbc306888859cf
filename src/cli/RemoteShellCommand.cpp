#include "RemoteShellCommand.h"

#include <unistd.h>

#include <functional>
#include <iostream>

#include "TerminalPasswordPrompt.h"
#include "TextTable.h"
#include "link/DeviceSession.h"
#include "link/SerialLogin.h"

namespace lm::cli {

namespace {

enum Exit { Success = 0, NoAnswer = 1, Refused = 2 };

std::string site(const RemoteTarget& target) {
    return target.host.empty() ? target.serialPort : target.host;
}

// Opens the session over the network or the serial port; an exit status on failure.
std::optional<int> logIn(Session& session, const RemoteTarget& target, std::ostream& err) {
    if (const auto password = givenPassword(target.password)) session.currentPassword = *password;
    TerminalPasswordPrompt prompt(site(target));
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;

    if (target.serialPort.empty()) {
        session.connectionIsNetwork = true;
        const auto result = session.telnet.Login(target.host, asker != nullptr, session.currentPassword,
                                                 asker, Session::kDefaultPassword);
        switch (result) {
            case LoginOk:
                return std::nullopt;
            case LoginFailed:
                err << "No answer from " << target.host << ": the device did not accept a telnet login.\n";
                return NoAnswer;
            case LoginCancelled:
            case LoginRefusedNoPrompt:
                session.telnet.Close();
                err << "The device at " << target.host << " refused the password.\n";
                return Refused;
        }
        return NoAnswer;
    }

    session.connectionIsNetwork = false;
    if (session.serial.Open(target.serialPort) != 0) {
        switch (session.serial.lastOpenError()) {
            case SerialLink::OpenError::NotFound:
                err << "The specified serial port was not found! (" << target.serialPort << ")\n";
                break;
            case SerialLink::OpenError::InUse:
                err << "The serial port was already in use by another application! (" << target.serialPort
                    << ")\n";
                break;
            default:
                err << "There was an unknown error opening the specified serial port! (" << target.serialPort
                    << ")\n";
        }
        return NoAnswer;
    }
    const auto result =
        serialConsoleLogin(session.serial, session.currentPassword, Session::kDefaultPassword, asker);
    if (result == SerialLoginResult::LoggedIn) return std::nullopt;
    session.serial.Close();
    switch (result) {
        case SerialLoginResult::WriteFailed:
            err << "Serial port transmission error!\n";
            return NoAnswer;
        case SerialLoginResult::NoDevice:
            err << "A device was not present on " << target.serialPort << ".\n";
            return NoAnswer;
        case SerialLoginResult::PasswordCancelled:
            err << "The device on " << target.serialPort << " refused the password.\n";
            return Refused;
        default:
            err << "Login problems! The console on " << target.serialPort
                << " stopped following the login.\n";
            return NoAnswer;
    }
}

void printLines(const std::vector<std::string>& lines, std::ostream& out) {
    const bool terminal = &out == &std::cout && ::isatty(STDOUT_FILENO);
    for (std::string line : lines) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        out << (terminal ? printable(line) : line) << '\n';
    }
}

int withSession(Session& session, const RemoteTarget& target, std::ostream& err,
                const std::function<int(DeviceSession&)>& work) {
    if (const auto failed = logIn(session, target, err)) return *failed;
    DeviceSession device(session);
    device.adoptLoginPrompt();
    const int status = work(device);
    device.Logout(true);
    session.resetPassword();
    return status;
}

}  // namespace

int runRemoteCommand(Session& session, const RemoteTarget& target, const std::string& command,
                     std::ostream& out, std::ostream& err) {
    return withSession(session, target, err, [&](DeviceSession& device) {
        switch (device.RunCommand(command)) {
            case 0:
                printLines(session.remoteLineBuffer, out);
                return int(Success);
            case 2:
                err << "The device does not know the command: " << printable(command) << " (Bad command)\n";
                return int(Refused);
            default:
                printLines(session.remoteLineBuffer, out);
                err << "The device stopped answering before the command finished.\n";
                return int(NoAnswer);
        }
    });
}

int catRemoteFile(Session& session, const RemoteTarget& target, const std::string& path, std::ostream& out,
                  std::ostream& err) {
    return withSession(session, target, err, [&](DeviceSession& device) {
        // Reading a file needs the prompt that ends it; a command would learn it by itself.
        if (session.shellPrompt.empty()) session.shellPrompt = device.ReadPrompt();
        switch (device.ReadRemoteFile(path)) {
            case 0:
                printLines(session.remoteLineBuffer, out);
                return int(Success);
            case 2:
                err << "The device cannot read " << printable(path) << " (Invalid argument).\n";
                return int(Refused);
            default:
                err << "The device stopped answering before the file was read.\n";
                return int(NoAnswer);
        }
    });
}

}  // namespace lm::cli
