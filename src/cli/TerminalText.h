#pragma once

#include <string>
#include <string_view>

namespace lm::cli {

// Device text made safe for a terminal: read as UTF-8, every control character (C0, DEL and the
// C1 code points U+0080..U+009F, which some terminals obey as escapes) and every byte that is not
// part of valid UTF-8 becomes "?". Valid text such as "€" stays as it is.
std::string terminalSafe(std::string_view text);

}  // namespace lm::cli
