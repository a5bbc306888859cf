#include "core/discovery/ModelTable.h"

#include "core/platform/HexDigit.h"

#include <array>

namespace lm {

namespace {

constexpr int kFirstCode = 192;
constexpr std::array<const char*, 18> kNames = {
    "Zelvix",       "Zelvix",      "Draviel6",     "Pell-Mandor",    "ZelvixMP",     "Quorbent",
    "Farloomer",    "Draviel1",    "ZelvixXL VGA", "ZelvixXL 1.3MP", "ZelvixXL 3MP", "DravielXL 1",
    "DravielXL 12", "DravielXL 1", "ZelvixXL 5MP", "DravielXL 2",    "ZelvixSC 5MP", "ZelvixSC 3MP",
};

}  // namespace

int ModelTable::codeFromId(std::string_view id) {
    // Three skipped pairs, "-", then the code. Like a scanf "%02x", a field may be one digit
    // when the next character is not a digit.
    std::size_t i = 0;
    auto readPair = [&](int& value) {
        int digits = 0;
        value = 0;
        while (digits < 2 && i < id.size() && hexDigitValue(id[i]) >= 0) {
            value = value * 16 + hexDigitValue(id[i++]);
            ++digits;
        }
        return digits > 0;
    };
    int value = 0;
    for (int field = 0; field < 3; ++field)
        if (!readPair(value)) return kNoCode;
    if (i >= id.size() || id[i] != '-') return kNoCode;
    ++i;
    return readPair(value) ? value : kNoCode;
}

std::string ModelTable::nameForCode(int code) {
    const int slot = code - kFirstCode;
    if (slot < 0 || slot >= static_cast<int>(kNames.size())) return "Unknown";
    return kNames[static_cast<std::size_t>(slot)];
}

}  // namespace lm
