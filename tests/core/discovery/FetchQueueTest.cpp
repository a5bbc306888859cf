#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/discovery/FetchPool.h"
#include "core/discovery/FetchQueue.h"

namespace lm {
namespace {

using Keys = std::vector<uint64_t>;

// Pushes each key with a task that notes it.
void pushAll(FetchQueue& queue, const Keys& keys, Keys& ran) {
    for (const uint64_t key : keys)
        queue.push(key, [&ran, key] { ran.push_back(key); });
}

Keys drain(FetchQueue& queue, Keys& ran) {
    while (auto task = queue.pop())
        task();
    return ran;
}

// The keys on screen go first in the order given, keys not waiting are passed over, the rest go in
// the order they came; a new order takes over at once.
TEST(FetchQueueTest, OrderGivenFirstThenArrival) {
    FetchQueue queue;
    Keys ran;
    pushAll(queue, {1, 2, 3, 4, 5, 6}, ran);
    queue.setOrder({5, 3, 99});
    queue.pop()();
    queue.pop()();
    queue.pop()();
    EXPECT_EQ(ran, (Keys{5, 3, 1}));
    queue.setOrder({6, 4});  // the user scrolled
    EXPECT_EQ(drain(queue, ran), (Keys{5, 3, 1, 6, 4, 2}));
    EXPECT_TRUE(queue.empty());
    EXPECT_FALSE(queue.pop());
}

// A removed record's task never runs; a key pushed again while it waits keeps its place and its
// first task; once taken or dropped, it queues anew at the end.
TEST(FetchQueueTest, DroppedKeysAndRepeatedPushes) {
    FetchQueue queue;
    Keys ran;
    pushAll(queue, {1, 2, 3}, ran);
    queue.push(1, [&ran] { ran.push_back(100); });
    queue.drop(2);
    queue.drop(42);
    EXPECT_EQ(queue.size(), 2u);
    queue.setOrder({2});
    queue.pop()();
    pushAll(queue, {2, 1, 4}, ran);
    EXPECT_EQ(drain(queue, ran), (Keys{1, 2, 3, 1, 4}));
}

// Many tasks taken by order leave no growing trail behind.
TEST(FetchQueueTest, StaysBoundedUnderConstantReordering) {
    FetchQueue queue;
    Keys ran;
    for (uint64_t round = 0; round < 1000; ++round) {
        pushAll(queue, {round}, ran);
        queue.setOrder({round});
        queue.pop()();
    }
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(ran.size(), 1000u);
}

TEST(FetchQueueTest, RowsByNearness) {
    using Rows = std::vector<std::size_t>;
    const struct {
        std::size_t rows, first, last;
        Rows expected;
    } cases[] = {
        {10, 3, 5, {3, 4, 5, 6, 2, 7, 1, 8, 0}},  // a page each side, nearest first, below first
        {10, 0, 2, {0, 1, 2, 3, 4, 5}},           // at the top
        {10, 8, 9, {8, 9, 7, 6}},                 // at the bottom
        {4, 1, 9, {1, 2, 3, 0}},                  // the screen reaching past the end
        {0, 0, 0, {}},
        {10, 5, 4, {}},
        {10, 12, 14, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowsByNearness(c.rows, c.first, c.last), c.expected)
            << c.rows << " rows, " << c.first << ".." << c.last;
}

// The pool hands its waiting tasks out by the queue's rules, while its one thread is busy.
TEST(FetchQueueTest, PoolRunsWaitingTasksInTheGivenOrder) {
    FetchPool pool(1);
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    Keys ran;
    const auto note = [&](uint64_t key) {
        return [&, key] {
            std::unique_lock lock(mutex);
            ran.push_back(key);
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
        };
    };
    ASSERT_TRUE(pool.post(1, note(1)));
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !ran.empty(); });
    }
    for (uint64_t key = 2; key <= 5; ++key)
        ASSERT_TRUE(pool.post(key, note(key)));
    pool.setOrder({4});
    pool.drop(3);
    std::unique_lock lock(mutex);
    open = true;
    changed.notify_all();
    changed.wait(lock, [&] { return ran.size() == 4; });
    EXPECT_EQ(ran, (Keys{1, 4, 2, 5}));
}

}  // namespace
}  // namespace lm
