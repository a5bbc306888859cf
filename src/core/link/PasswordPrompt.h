#pragma once

#include <string>

namespace lm {

// How a login asks the user for the admin password: the desktop program shows its dialog, the
// command line program asks on the terminal without echo.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // Asks for the password. On OK writes the text typed into `password` and returns true;
    // returns false when the user cancels.
    virtual bool askPassword(std::string& password) = 0;
};

}  // namespace lm
