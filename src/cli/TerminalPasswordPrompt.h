#pragma once

#include <optional>
#include <string>

#include "core/link/PasswordPrompt.h"

namespace lm::cli {

// Asks for the admin password on the controlling terminal without echo. Without a terminal it
// cannot ask, and every request counts as cancelled. An ending signal (Ctrl-C, a hang-up) while it
// asks puts echo back first.
class TerminalPasswordPrompt : public PasswordPrompt {
public:
    // opening starts the first question; the default suits a password the device refused.
    explicit TerminalPasswordPrompt(std::string site,
                                    std::string opening = "The device refused the password. ")
        : site_(std::move(site)), opening_(std::move(opening)) {}
    static bool available();
    bool askPassword(std::string& password) override;

private:
    std::string site_;
    std::string opening_;
};

// Asks a yes/no question on the terminal; nullopt without a terminal or at end of input.
std::optional<bool> askYesNo(const std::string& question);

}  // namespace lm::cli
