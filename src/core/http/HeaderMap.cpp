#include "core/http/HeaderMap.h"

#include <algorithm>

#include "core/http/HttpText.h"

namespace lm {

bool HeaderMap::NoCaseLess::operator()(std::string_view a, std::string_view b) const {
    return std::ranges::lexicographical_compare(
        a, b, [](char x, char y) { return httptext::upper(x) < httptext::upper(y); });
}

void HeaderMap::add(std::string_view name, std::string_view value) {
    const auto [it, inserted] = entries_.try_emplace(std::string(name), value);
    if (!inserted) (it->second += ',') += value;
}

const std::string* HeaderMap::find(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

bool HeaderMap::has(std::string_view name, std::string_view value) const {
    const std::string* found = find(name);
    return found && httptext::equalsNoCase(httptext::trim(*found), value);
}

}  // namespace lm
