#pragma once

#include <sys/resource.h>

namespace lm::bench {

// Raises the open-file limit to the most this process may have and returns it (0 when unknown):
// thousands of simulated devices need thousands of sockets.
inline rlim_t raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur;
}

}  // namespace lm::bench
