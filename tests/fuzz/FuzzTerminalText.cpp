// Device text shown on a terminal: whatever the bytes, what is printed is valid UTF-8 without a
// control character, and its width on the terminal is at most one column a byte.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/TerminalText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto safe = lm::cli::terminalSafe(std::string_view(reinterpret_cast<const char*>(data), size));
    if (lm::cli::terminalSafe(safe) != safe) __builtin_trap();  // already safe: nothing left to replace
    for (const char c : safe)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();
    if (lm::cli::displayWidth(safe) > safe.size()) __builtin_trap();
    return 0;
}
