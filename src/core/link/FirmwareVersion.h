#pragma once

#include <compare>

namespace lm {

struct FirmwareVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;

    // Number by number, so 4.10.0 is newer than 4.9.2.
    // clang-tidy 14 takes the defaulted comparison's own zero for a null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend auto operator<=>(const FirmwareVersion&, const FirmwareVersion&) = default;
};

}  // namespace lm
