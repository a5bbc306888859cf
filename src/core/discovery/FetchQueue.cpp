#include "core/discovery/FetchQueue.h"

#include <algorithm>

namespace lm {

void FetchQueue::push(uint64_t key, Task task) {
    const auto [at, added] = waiting_.try_emplace(key, Waiting{std::move(task), nextArrival_});
    if (!added) return;
    arrivals_.emplace_back(key, nextArrival_++);
}

FetchQueue::Task FetchQueue::take(std::unordered_map<uint64_t, Waiting>::iterator at) {
    Task task = std::move(at->second.task);
    waiting_.erase(at);
    // Arrivals of tasks already taken wait in the deque until met; a deque mostly of those is redone.
    if (arrivals_.size() > 2 * waiting_.size() + 64) {
        std::erase_if(arrivals_, [this](const auto& arrival) {
            const auto found = waiting_.find(arrival.first);
            return found == waiting_.end() || found->second.arrival != arrival.second;
        });
    }
    return task;
}

FetchQueue::Task FetchQueue::pop() {
    for (const uint64_t key : order_) {
        const auto at = waiting_.find(key);
        if (at != waiting_.end()) return take(at);
    }
    while (!arrivals_.empty()) {
        const auto [key, arrival] = arrivals_.front();
        arrivals_.pop_front();
        const auto at = waiting_.find(key);
        if (at != waiting_.end() && at->second.arrival == arrival) return take(at);
    }
    return {};
}

void FetchQueue::setOrder(std::vector<uint64_t> keys) {
    order_ = std::move(keys);
}

void FetchQueue::drop(uint64_t key) {
    waiting_.erase(key);
}

std::vector<std::size_t> rowsByNearness(std::size_t rows, std::size_t first, std::size_t last) {
    std::vector<std::size_t> order;
    if (rows == 0 || first > last || first >= rows) return order;
    last = std::min(last, rows - 1);
    const std::size_t page = last - first + 1;
    order.reserve(3 * page);
    for (std::size_t row = first; row <= last; ++row)
        order.push_back(row);
    for (std::size_t distance = 1; distance <= page; ++distance) {
        if (last + distance < rows) order.push_back(last + distance);
        if (distance <= first) order.push_back(first - distance);
    }
    return order;
}

}  // namespace lm
