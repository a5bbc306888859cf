#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "core/link/DeviceSession.h"

namespace lm::cli {

// Where and how run and cat log in: HOST over telnet, or --serial COMn, with the admin password.
struct RemoteTarget {
    std::string host;
    std::string serialPort;
    PasswordOption password;

    void addTo(CLI::App& command);
    // With --serial there is no HOST: what CLI11 put there is the first word after it.
    // Returns the usage problem, if any.
    std::string settle(std::vector<std::string>* firstWordsGoHere);
    std::string site() const { return host.empty() ? serialPort : host; }
};

// Logs in, runs work on the open session, logs out; the exit status. Failures to log in are
// told on err.
int withDeviceSession(CommandContext& context, const RemoteTarget& target,
                      const std::function<int(DeviceSession&)>& work);

// Prints output lines, each with one line end; device text is made safe when out is a terminal.
void printDeviceLines(const std::vector<std::string>& lines, std::ostream& out);

}  // namespace lm::cli
