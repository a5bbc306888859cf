#include "core/diag/ProductionResults.h"

#include <array>

#include <nlohmann/json.hpp>

#include "core/diag/ReadingText.h"
#include "core/discovery/CsvText.h"
#include "core/discovery/DeviceRecord.h"

namespace lm {

namespace {

using Json = nlohmann::ordered_json;

// The JSON key of each column; the first names the device and is written as "id" and "address".
constexpr std::array<const char*, kProductionColumns> kColumnKeys = {
    "id",          "duration", "rate",     "exposure", "pid",      "devices",
    "temperature", "errors",   "versions", "firmware", "watchdog", "imaging"};

std::string cellText(const std::string& cell) {
    const Json value = textValue(cell);
    return value.is_string() ? value.get<std::string>() : std::string();
}

}  // namespace

std::string productionResultsCsv(const std::vector<ProductionRow>& rows) {
    std::vector<std::string> fields(kProductionHeaders.begin(), kProductionHeaders.end());
    fields.emplace_back("Verdict");
    std::string text = csvRecord(fields);
    for (const ProductionRow& row : rows) {
        fields.assign({row.name()});
        for (std::size_t i = 1; i < kProductionColumns; ++i)
            fields.push_back(cellText(row.cells[i]));
        fields.emplace_back(verdictText(row.verdict));
        text += csvRecord(fields);
    }
    return text;
}

std::string productionResultsJson(const std::vector<ProductionRow>& rows) {
    auto array = Json::array();
    for (const ProductionRow& row : rows) {
        Json object;
        object["id"] = isUnknownText(row.id) ? Json(nullptr) : textValue(row.id);
        object["address"] = textValue(row.address);
        for (std::size_t i = 1; i < kProductionColumns; ++i)
            object[kColumnKeys[i]] = textValue(row.cells[i]);
        object["verdict"] = textValue(verdictText(row.verdict));
        array.push_back(std::move(object));
    }
    // Device text need not be UTF-8: what is not becomes U+FFFD rather than failing the output.
    return array.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

}  // namespace lm
