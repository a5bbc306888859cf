#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "link/Session.h"

namespace lm::cli {

// Where and how to log in for a one-off shell command.
struct RemoteTarget {
    std::string host;                     // dotted IPv4 address; empty when serialPort is set
    std::string serialPort;               // "COM3"
    std::optional<std::string> password;  // --password; else LMTOOLS_PASSWORD; else the default
};

// `run`: logs in, runs one command and prints its output lines.
int runRemoteCommand(Session& session, const RemoteTarget& target, const std::string& command,
                     std::ostream& out, std::ostream& err);
// `cat`: logs in, reads one file and prints it.
int catRemoteFile(Session& session, const RemoteTarget& target, const std::string& path, std::ostream& out,
                  std::ostream& err);

}  // namespace lm::cli
