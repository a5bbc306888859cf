#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lm::cli {

// A plain text table with columns aligned by the width their text takes on a terminal, for
// terminals and pipes alike; cells are made terminal-safe.
class TextTable {
public:
    explicit TextTable(std::vector<std::string> headings);
    void addRow(std::vector<std::string> cells);
    void print(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace lm::cli
