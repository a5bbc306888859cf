#include "cli/TextTable.h"

#include <algorithm>

#include "cli/TerminalText.h"

namespace lm::cli {

TextTable::TextTable(std::vector<std::string> headings) {
    rows_.push_back(std::move(headings));
}

void TextTable::addRow(std::vector<std::string> cells) {
    for (auto& cell : cells)
        cell = terminalSafe(cell);
    cells.resize(rows_.front().size());
    rows_.push_back(std::move(cells));
}

void TextTable::print(std::ostream& out) const {
    std::vector<std::size_t> widths(rows_.front().size(), 0);
    for (const auto& row : rows_)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    for (const auto& row : rows_) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - displayWidth(row[c]) + 2, ' ');
        }
        out << line << '\n';
    }
}

}  // namespace lm::cli
