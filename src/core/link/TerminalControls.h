#pragma once

#include <string_view>

namespace lm {

// A shell with line editing may follow its prompt with terminal control sequences: BusyBox ash asks
// where the cursor is ("\x1b[6n") after every prompt. They are no text of the line, so a prompt is
// looked for in text without the complete control sequences (ESC '[' ... final byte) that end it.
std::string_view withoutTrailingControls(std::string_view text);

}  // namespace lm
