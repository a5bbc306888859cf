#pragma once

#include <optional>
#include <string>

#include "link/PasswordPrompt.h"

namespace lm::cli {

// Asks for the admin password on the controlling terminal without echo. Without a terminal it
// cannot ask, and every request counts as cancelled.
// The password the user gave: the --password option, else the environment variable LMTOOLS_PASSWORD.
std::optional<std::string> givenPassword(const std::optional<std::string>& option);

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

}  // namespace lm::cli
