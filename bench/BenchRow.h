#pragma once

// The line a benchmark prints for each row of the README's performance table it owns:
// scripts/performance-table.sh puts these rows into the README, so the table is never typed by hand.

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

namespace lm::bench {

// "row: | what | figure | target | met |"; `what` names the benchmark program in backticks, which is
// how the README row is found.
inline void printRow(std::string_view what, std::string_view figure, std::string_view target, bool met) {
    std::printf("row: | %.*s | %.*s | %.*s | %s |\n", static_cast<int>(what.size()), what.data(),
                static_cast<int>(figure.size()), figure.data(), static_cast<int>(target.size()),
                target.data(), met ? "met" : "NOT met");
    std::fflush(stdout);
}

// printf into a string, for the figures of a row.
__attribute__((format(printf, 1, 2))) inline std::string format(const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

// "0.302 s"
inline std::string seconds(double value) {
    return format("%.3f s", value);
}

}  // namespace lm::bench
