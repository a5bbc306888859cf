#include "cli/RemoteLogin.h"

#include "cli/ExitStatus.h"
#include "cli/TerminalPasswordPrompt.h"
#include "cli/TerminalText.h"
#include "core/platform/Ipv4.h"

namespace lm::cli {

void RemoteTarget::addTo(CLI::App& command) {
    command.add_option("--serial", serialPort,
                       "Use the console on a serial port (COM1..COM32) instead of HOST");
    password.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else the default; asked on a terminal)");
}

std::string RemoteTarget::settle(std::vector<std::string>* firstWordsGoHere) {
    if (!serialPort.empty()) {
        if (!host.empty()) {
            if (parseIpv4(host) || !firstWordsGoHere) return "give HOST or --serial, not both";
            firstWordsGoHere->insert(firstWordsGoHere->begin(), host);
            host.clear();
        }
    } else if (const auto problem = hostProblem(host); !problem.empty()) {
        return problem;
    }
    return password.check();
}

namespace {

// Opens the session over the network or the serial port; an exit status on failure.
std::optional<int> logIn(const CommandContext& context, const RemoteTarget& target) {
    Session& session = context.session;
    if (const auto password = target.password.given()) session.setPassword(*password);
    TerminalPasswordPrompt prompt(target.site());
    PasswordPrompt* asker = TerminalPasswordPrompt::available() ? &prompt : nullptr;

    if (target.serialPort.empty()) {
        session.setConnectionIsNetwork(true);
        const LoginResult result = session.loginNetwork(target.host, asker != nullptr, asker);
        if (result == LoginOk) return std::nullopt;
        session.telnet().close();
        if (isRefusal(result)) {
            context.error("The device at " + target.host + " refused the password.");
            return kExitRefused;
        }
        context.error("No answer from " + target.host + ": the device did not accept a telnet login.");
        return kExitFailed;
    }

    session.setConnectionIsNetwork(false);
    auto& serial = session.serial();
    if (serial.open(target.serialPort) != 0) {
        context.error(serialOpenText(serial.lastOpenError()) + " (" + target.serialPort + ")");
        return kExitFailed;
    }
    const auto result = session.loginSerial(asker);
    if (result == SerialLoginResult::LoggedIn) return std::nullopt;
    serial.close();
    context.error(serialLoginText(result, target.serialPort));
    return result == SerialLoginResult::PasswordCancelled ? kExitRefused : kExitFailed;
}

}  // namespace

int withDeviceSession(CommandContext& context, const RemoteTarget& target,
                      const std::function<int(DeviceSession&)>& work) {
    Session& session = context.session;
    const auto claim = session.claim(Session::kClaimWait);
    if (const auto failed = logIn(context, target)) return *failed;
    DeviceSession device(session);
    device.adoptLoginPrompt();
    const int status = work(device);
    device.logout(true);
    session.resetPassword();
    return status;
}

void printDeviceLines(const std::vector<std::string>& lines, std::ostream& out) {
    const bool terminal = isTerminal(out);
    for (std::string line : lines) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        out << (terminal ? terminalSafe(line) : line) << '\n';
    }
}

}  // namespace lm::cli
