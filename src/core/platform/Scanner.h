#pragma once

#include <optional>
#include <string_view>

namespace lm {

// Reads numbers one after the other from device or user text, as a scanf format of conversions and
// literals does: blanks skipped before a number, a sign, "0x" in base 16. Numbers saturate at
// kNumberLimit instead of overflowing.
class Scanner {
public:
    static constexpr long long kNumberLimit = 1LL << 40;

    explicit Scanner(std::string_view text) : rest_(text) {}

    // The next number, or nothing (and nothing taken) when none starts here.
    std::optional<long long> integer(int base = 10);
    bool literal(char c);
    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

// The leading number of text as "%d" reads it into an int; `otherwise` when there is none.
int leadingInt(std::string_view text, int otherwise = 0, int base = 10);

}  // namespace lm
