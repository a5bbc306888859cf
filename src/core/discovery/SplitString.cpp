#include "core/discovery/SplitString.h"

namespace lm {

void splitString(std::string_view text, char delimiter, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find(delimiter, start);
        if (end == std::string_view::npos) {
            fields.emplace_back(text.substr(start));
            break;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace lm
