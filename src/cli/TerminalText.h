#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace lm::cli {

// Device text made safe for a terminal: read as UTF-8, every control character (C0, DEL and the
// C1 code points U+0080..U+009F, which some terminals obey as escapes) and every byte that is not
// part of valid UTF-8 becomes "?". Valid text such as "€" stays as it is.
std::string terminalSafe(std::string_view text);

// The columns text takes on a terminal: one per character, two for an East Asian wide one, none
// for a combining mark; a byte that is not valid UTF-8 counts as one.
std::size_t displayWidth(std::string_view text);

// Each line of text with the program's name before it, as every error line starts; an error may
// carry the device's words, so each line is made terminal-safe.
std::string errorLines(std::string_view text);

// Whether stream is standard output or standard error and that is a terminal.
bool isTerminal(const std::ostream& stream);

}  // namespace lm::cli
