#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// One row of the README's performance table, as its benchmark measured it: what (naming the
// benchmark in backticks), the figure with its peer or limit, the target, and the verdict.
inline void printRow(std::string_view what, std::string_view figure, std::string_view target, bool met) {
    const std::string line = "row: | " + std::string(what) + " | " + std::string(figure) + " | " +
                             std::string(target) + " | " + (met ? "met" : "NOT met") + " |\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}
