#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the fuzz targets share. A promise a target makes about its parser: when it does not hold,
// the run stops at once on the input that broke it.
inline void check(bool holds) {
    if (!holds) __builtin_trap();
}

// The input as the lines a device prints, each with its line end.
inline std::vector<std::string> linesOf(const std::string& input) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < input.size();) {
        const auto end = input.find('\n', start);
        const auto next = end == std::string::npos ? input.size() : end + 1;
        lines.push_back(input.substr(start, next - start));
        start = next;
    }
    return lines;
}
