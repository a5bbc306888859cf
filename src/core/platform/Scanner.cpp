#include "core/platform/Scanner.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace lm {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<long long> Scanner::integer(int base) {
    std::string_view text = rest_;
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (base == 16 && text.size() > 2 && text[0] == '0' && lower(text[1]) == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[2])))
        text.remove_prefix(2);
    long long value = 0;
    std::size_t digits = 0;
    for (; digits < text.size(); ++digits) {
        const char c = lower(text[digits]);
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            break;
        }
        value = std::min(value * base + digit, kNumberLimit);
    }
    if (digits == 0) return std::nullopt;
    rest_ = text.substr(digits);
    return negative ? -value : value;
}

bool Scanner::literal(char c) {
    if (rest_.empty() || rest_.front() != c) return false;
    rest_.remove_prefix(1);
    return true;
}

int leadingInt(std::string_view text, int otherwise, int base) {
    const auto number = Scanner(text).integer(base);
    return number ? static_cast<int>(std::clamp<long long>(*number, INT_MIN, INT_MAX)) : otherwise;
}

}  // namespace lm
