#include "core/link/TerminalControls.h"

#include <algorithm>

namespace lm {

namespace {

// Real control sequences are a few bytes; a longer run after an escape is no sequence, and looking
// no further back keeps a trickling device from making every check scan a long line.
constexpr std::size_t kLongestSequence = 32;

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
    for (;;) {
        const auto tail = text.substr(text.size() - std::min(text.size(), kLongestSequence));
        const auto escape = tail.rfind('\x1b');
        if (escape == std::string_view::npos || !isControlSequence(tail.substr(escape))) return text;
        text.remove_suffix(tail.size() - escape);
    }
}

}  // namespace lm
