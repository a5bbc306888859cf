#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lm {

// Every value a user types that ends up in a line for a device's shell (a password, a path, a
// command word, a wizard field) passes here first. A control character would end the line, or the
// editor's insert mode, and run what follows as a command the user never typed.
enum class ShellValue {
    Text,  // any printable text: passwords, command words, wizard fields
    Path,  // a plain absolute path: letters, digits and / . _ - +
};

// Empty when value may go into a device shell line as kind; otherwise what is wrong with it, in
// words for the user ("the password holds a control character").
std::string shellValueProblem(ShellValue kind, std::string_view value, std::string_view name);

// The command line for words, joined by single blanks, or the problem with them in `problem`.
// An empty or blank command is a problem too: the device would only answer with its prompt.
std::string shellCommandLine(const std::vector<std::string>& words, std::string& problem);

bool hasControlCharacter(std::string_view value);

}  // namespace lm
