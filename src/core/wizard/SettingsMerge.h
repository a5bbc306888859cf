#pragma once

#include <string>
#include <vector>

namespace lm {

// A configuration file as the device holds it, with the lines the settings own brought up to date.
// Each of `ours` replaces, in its place, the first line not yet replaced that holds its key (the
// text up to its "=" or first blank, found as the reader finds it: anywhere, whatever the case);
// the ones no line held are appended. A line that starts with a key in `owned` (or with the key of
// one of ours) and was not replaced is dropped: the setting it held was emptied. Every other line
// stays as it was.
std::vector<std::string> mergedFile(const std::vector<std::string>& asRead,
                                    const std::vector<std::string>& ours,
                                    const std::vector<std::string>& owned = {});

}  // namespace lm
