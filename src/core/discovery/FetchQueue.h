#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lm {

// The picture fetches waiting for a thread, each under its record's key, handed out where the user
// looks first: the keys of the order last given (the records on screen, then those near them) in
// that order, then the rest in the order they came. Its owner's lock guards it.
class FetchQueue {
public:
    using Task = std::function<void()>;

    // Queues the task; a key already waiting keeps its place and its task.
    void push(uint64_t key, Task task);
    // The next task by the rules above; an empty one when none waits.
    Task pop();
    // The keys to hand out first, in that order, in place of the ones given before.
    void setOrder(std::vector<uint64_t> keys);
    // Forgets the task of a record that is gone.
    void drop(uint64_t key);

    std::size_t size() const { return waiting_.size(); }
    bool empty() const { return waiting_.empty(); }

private:
    struct Waiting {
        Task task;
        uint64_t arrival = 0;
    };
    Task take(std::unordered_map<uint64_t, Waiting>::iterator at);

    std::unordered_map<uint64_t, Waiting> waiting_;
    // Key and arrival of every task pushed; those taken or dropped since are skipped when met.
    std::deque<std::pair<uint64_t, uint64_t>> arrivals_;
    std::vector<uint64_t> order_;
    uint64_t nextArrival_ = 0;
};

// Where the user looks in a list of `rows` rows with first..last on screen: those rows top to
// bottom, then as many again on each side, nearest first, the row below before the row above.
std::vector<std::size_t> rowsByNearness(std::size_t rows, std::size_t first, std::size_t last);

}  // namespace lm
