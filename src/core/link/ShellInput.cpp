#include "core/link/ShellInput.h"

#include <algorithm>

namespace lm {

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

bool isPlainPathCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '.' || c == '_' || c == '-' || c == '+';
}

}  // namespace

bool hasControlCharacter(std::string_view value) {
    return std::any_of(value.begin(), value.end(),
                       [](char c) { return isControl(static_cast<unsigned char>(c)); });
}

std::string shellValueProblem(ShellValue kind, std::string_view value, std::string_view name) {
    const std::string what(name);
    if (hasControlCharacter(value))
        return "the " + what + " holds a control character (line end, tab, escape or the like)";
    if (kind == ShellValue::Path) {
        if (value.empty() || value.front() != '/')
            return "the " + what + " must be an absolute path on the device (starting with /)";
        if (!std::all_of(value.begin(), value.end(), isPlainPathCharacter))
            return "the " + what + " may hold only letters, digits and / . _ - +";
    }
    return {};
}

std::string shellCommandLine(const std::vector<std::string>& words, std::string& problem) {
    problem.clear();
    std::string line;
    for (const auto& word : words) {
        problem = shellValueProblem(ShellValue::Text, word, "command");
        if (!problem.empty()) return {};
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (line.find_first_not_of(' ') == std::string::npos) problem = "the command is empty";
    return problem.empty() ? line : std::string();
}

}  // namespace lm
