#pragma once

#include <cstdio>
#include <string_view>

// One row of the README's performance table, as a benchmark prints it for the table to be
// regenerated from: "row: | what | figure | target | met |".
inline void printRow(std::string_view what, std::string_view figure, std::string_view target, bool met) {
    std::printf("row: | %.*s | %.*s | %.*s | %s |\n", static_cast<int>(what.size()), what.data(),
                static_cast<int>(figure.size()), figure.data(), static_cast<int>(target.size()),
                target.data(), met ? "met" : "NOT met");
    std::fflush(stdout);
}
