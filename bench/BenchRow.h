#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// One row of the README's performance table, as a benchmark measured it: what (naming the
// benchmark in backticks), the figure with its peer or limit beside it, the target and the verdict.
inline void printRow(std::string_view what, std::string_view figure, std::string_view target, bool met) {
    std::printf("row: | %s | %s | %s | %s |\n", std::string(what).c_str(), std::string(figure).c_str(),
                std::string(target).c_str(), met ? "met" : "NOT met");
    std::fflush(stdout);
}
