#pragma once

#include <string>
#include <string_view>

namespace lm {

// The model code carried in a MAC-derived identifier, and its display name.
class ModelTable {
public:
    static constexpr int kNoCode = 255;

    // The fourth hexadecimal pair of "XXXXXX-XXXXXX"; kNoCode when it cannot be read.
    static int codeFromId(std::string_view id);
    static std::string nameForCode(int code);
};

}  // namespace lm
