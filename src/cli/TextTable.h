#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lm::cli {

// A plain text table with aligned columns, for terminals and pipes alike.
class TextTable {
public:
    explicit TextTable(std::vector<std::string> headings);
    void addRow(std::vector<std::string> cells);
    void print(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> rows_;
};

// Device-supplied text made safe for a terminal: control bytes become "?".
std::string printable(const std::string& text);

}  // namespace lm::cli
