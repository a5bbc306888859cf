#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "link/Session.h"

namespace lm::cli {

enum class Maintenance { Reboot, Erase };

struct MaintenanceOptions {
    std::string host;
    std::optional<std::string> password;  // --password; else LMTOOLS_PASSWORD; else asked on a terminal
    bool rebootAfterwards = true;         // erase only; --no-reboot clears it
};

// `reboot` and `erase`: the dialogs' workers with the terminal as their window. Exit status 0 done,
// 1 the device does not respond, 2 the password was refused or none was given.
int runMaintenance(Session& session, Maintenance operation, const MaintenanceOptions& options,
                   std::ostream& out, std::ostream& err);

}  // namespace lm::cli
