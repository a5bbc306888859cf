// Feeds device bytes to the telnet processing of received blocks, and the text to the prompt
// search. The first byte picks the block size the stream is cut into, as receives would cut it;
// the rest is the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/link/TelnetLink.h"
#include "core/link/TerminalControls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] & 0x3F ? data[0] & 0x3F : lm::TelnetLink::kReceiveBlock;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string text;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const auto block = stream.substr(at, piece);
        const std::size_t textBefore = text.size();
        std::string answer = "kept";
        const bool whole = lm::TelnetLink::processBlock(block, text, answer);

        // Text never holds a command byte or a zero byte, and never grows past the block.
        if (text.size() - textBefore > block.size() ||
            text.find_first_of(std::string_view("\xff\0", 2), textBefore) != std::string::npos)
            std::abort();
        // A cut block answers nothing; a whole one only refusals, one per command that asked.
        if (answer.compare(0, 4, "kept") != 0) std::abort();
        const std::string_view added = std::string_view(answer).substr(4);
        if (!whole && !added.empty()) std::abort();
        if (added.size() % 3 != 0 ||
            added.size() / 3 > static_cast<std::size_t>(std::count(block.begin(), block.end(), '\xff')))
            std::abort();
        for (std::size_t i = 0; i < added.size(); i += 3) {
            if (added[i] != '\xff' || (added[i + 1] != '\xfe' && added[i + 1] != '\xfc')) std::abort();
        }
        // A prompt is looked for in the text less the control sequences that end it.
        if (!text.starts_with(lm::withoutTrailingControls(text))) std::abort();
        // Keep the fuzzer's memory flat, as ReadLine hands the text out.
        if (text.size() > lm::TelnetLink::kReceiveBlock) text.clear();
    }
    return 0;
}
