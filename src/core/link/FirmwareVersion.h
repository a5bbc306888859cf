#pragma once

namespace lm {

struct FirmwareVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
};

}  // namespace lm
