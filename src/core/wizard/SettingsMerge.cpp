#include "core/wizard/SettingsMerge.h"

#include <algorithm>

#include "core/platform/TextMatch.h"

namespace lm {

namespace {

std::string keyOf(const std::string& line) {
    const auto end = line.find_first_of("= ");
    return asciiLower(end == std::string::npos ? line : line.substr(0, end + 1));
}

bool startsWithKey(const std::string& line, const std::vector<std::string>& keys) {
    const auto text = asciiLower(line.substr(std::min(line.find_first_not_of(" \t"), line.size())));
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::string& key) { return text.starts_with(key); });
}

}  // namespace

std::vector<std::string> mergedFile(const std::vector<std::string>& asRead,
                                    const std::vector<std::string>& ours,
                                    const std::vector<std::string>& owned) {
    std::vector<std::string> keys;
    for (const std::string& key : owned)
        keys.push_back(asciiLower(key));
    for (const std::string& line : ours)
        keys.push_back(keyOf(line));

    // Which line of ours goes where: each key's lines in turn, into the lines holding that key.
    std::vector<int> placedAt(asRead.size(), -1);
    std::vector<bool> placed(ours.size(), false);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const std::string key = keyOf(ours[i]);
        for (std::size_t at = 0; at < asRead.size(); ++at) {
            if (placedAt[at] < 0 && contains(asciiLower(asRead[at]), key)) {
                placedAt[at] = static_cast<int>(i);
                placed[i] = true;
                break;
            }
        }
    }

    std::vector<std::string> merged;
    for (std::size_t at = 0; at < asRead.size(); ++at) {
        if (placedAt[at] >= 0)
            merged.push_back(ours[static_cast<std::size_t>(placedAt[at])]);
        else if (!startsWithKey(asRead[at], keys))
            merged.push_back(asRead[at]);
    }
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (!placed[i]) merged.push_back(ours[i]);
    return merged;
}

}  // namespace lm
