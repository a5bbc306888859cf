#include "core/diag/ProductionExport.h"

#include <array>
#include <nlohmann/json.hpp>

#include "core/discovery/CsvText.h"

namespace lm {

namespace {

constexpr std::array<const char*, kProductionColumns> kJsonKeys = {
    "id",          "duration", "rate",     "exposure", "pid",      "devices",
    "temperature", "errors",   "versions", "firmware", "watchdog", "imaging"};

// A cell as a value: without the blanks that line it up on screen.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> cellsOf(const ProductionRow& row) {
    std::vector<std::string> cells;
    for (const std::string& cell : row.cells)
        cells.push_back(trimmed(cell));
    cells.front() = row.id;
    cells.emplace_back(verdictText(row.verdict));
    return cells;
}

}  // namespace

std::string productionCsv(const std::vector<ProductionRow>& rows) {
    std::vector<std::string> headers(kProductionHeaders.begin(), kProductionHeaders.end());
    headers.emplace_back("Verdict");
    std::string text = csvRecord(headers);
    for (const ProductionRow& row : rows)
        text += csvRecord(cellsOf(row));
    return text;
}

std::string productionJson(const std::vector<ProductionRow>& rows) {
    auto array = nlohmann::ordered_json::array();
    for (const ProductionRow& row : rows) {
        const std::vector<std::string> cells = cellsOf(row);
        nlohmann::ordered_json object;
        for (std::size_t i = 0; i < kProductionColumns; ++i)
            object[kJsonKeys[i]] =
                cells[i].empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(cells[i]);
        object["verdict"] =
            cells.back().empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(cells.back());
        array.push_back(std::move(object));
    }
    return array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace lm
