#pragma once

#include <map>
#include <string>
#include <string_view>

namespace lm {

// Response headers by name; names compare without regard to case.
class HeaderMap {
public:
    // A repeated name keeps one entry: the earlier value, "," and the new one.
    void add(std::string_view name, std::string_view value);
    // The value, or nullptr when the header is absent.
    const std::string* find(std::string_view name) const;
    // Whether the header is present with this value, compared without regard to case.
    bool has(std::string_view name, std::string_view value) const;

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }

private:
    struct NoCaseLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::map<std::string, std::string, NoCaseLess> entries_;
};

}  // namespace lm
