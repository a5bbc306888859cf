#include "link/TerminalControls.h"

namespace lm {

namespace {

// Whether sequence is one whole control sequence: ESC '[', parameter and intermediate bytes, and
// one final byte.
bool isControlSequence(std::string_view sequence) {
    if (sequence.size() < 3 || sequence[0] != '\x1b' || sequence[1] != '[') return false;
    const auto final = static_cast<unsigned char>(sequence.back());
    if (final < 0x40 || final > 0x7e) return false;
    for (const char c : sequence.substr(2, sequence.size() - 3))
        if (c < 0x20 || c > 0x3f) return false;
    return true;
}

}  // namespace

std::string_view withoutTrailingControls(std::string_view text) {
    for (auto escape = text.rfind('\x1b');
         escape != std::string_view::npos && isControlSequence(text.substr(escape));
         escape = text.rfind('\x1b'))
        text = text.substr(0, escape);
    return text;
}

}  // namespace lm
