#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lm {

// Empties `fields`, then appends each run of characters between delimiters: adjacent delimiters give
// an empty field, a leading delimiter an empty first field; a trailing delimiter adds no field, and
// an empty text gives none.
void splitString(std::string_view text, char delimiter, std::vector<std::string>& fields);

}  // namespace lm
