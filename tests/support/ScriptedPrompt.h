#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/link/PasswordPrompt.h"

namespace lm::test {

// Answers with the scripted passwords in turn; nullopt (or running out) cancels.
class ScriptedPrompt : public PasswordPrompt {
public:
    explicit ScriptedPrompt(std::vector<std::optional<std::string>> answers = {})
        : answers_(std::move(answers)) {}
    bool askPassword(std::string& password) override {
        shown.push_back(password);
        ++asked;
        if (asked > answers_.size() || !answers_[asked - 1]) return false;
        password = *answers_[asked - 1];
        return true;
    }
    std::size_t asked = 0;
    std::vector<std::string> shown;  // the password each call found

private:
    std::vector<std::optional<std::string>> answers_;
};

}  // namespace lm::test
