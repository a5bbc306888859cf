#pragma once

#include <cstdio>
#include <string_view>

// One row of the README's performance table as this run measured it, after the literal "row: ":
// what is measured (naming the benchmark program), the figure with its peer or limit, the target
// and the verdict.
inline void printRow(std::string_view what, std::string_view figure, std::string_view target, bool met) {
    std::printf("row: | %.*s | %.*s | %.*s | %s |\n", static_cast<int>(what.size()), what.data(),
                static_cast<int>(figure.size()), figure.data(), static_cast<int>(target.size()),
                target.data(), met ? "met" : "NOT met");
    std::fflush(stdout);
}
