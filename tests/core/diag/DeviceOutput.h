#pragma once

#include <initializer_list>
#include <string>

#include "core/diag/ActivityMeasures.h"

namespace lm::test {

// Output lines as the command runner collects them: each with the device's line end.
inline OutputLines lines(std::initializer_list<const char*> texts) {
    OutputLines out;
    for (const char* t : texts)
        out.push_back(std::string(t) + "\r\n");
    return out;
}

}  // namespace lm::test
