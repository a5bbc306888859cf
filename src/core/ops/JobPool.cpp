#include "core/ops/JobPool.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace lm {

void JobPool::run(std::size_t count, int jobs, const Job& job) {
    JobPool pool(count);
    const std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1,
                                                        std::max<std::size_t>(count, 1));
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(job, std::ref(pool));
        } catch (const std::system_error&) {
            break;  // the threads that did start share the rest
        }
    }
    job(pool);
    for (std::thread& helper : helpers)
        helper.join();
}

std::optional<std::size_t> JobPool::next() {
    if (stopped_) return std::nullopt;
    const std::size_t index = next_++;
    if (index >= count_) return std::nullopt;
    return index;
}

}  // namespace lm
