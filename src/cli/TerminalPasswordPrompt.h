#pragma once

#include <string>

#include "link/PasswordPrompt.h"

namespace lm::cli {

// Asks for the admin password on the controlling terminal without echo. Without a terminal it
// cannot ask, and every request counts as cancelled.
class TerminalPasswordPrompt : public PasswordPrompt {
public:
    explicit TerminalPasswordPrompt(std::string site) : site_(std::move(site)) {}
    static bool available();
    bool askPassword(std::string& password) override;

private:
    std::string site_;
};

}  // namespace lm::cli
