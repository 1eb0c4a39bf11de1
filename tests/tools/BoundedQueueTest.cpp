// The queue between the render thread and the frame writers: never more than
// its capacity in it, nothing lost or reordered, and nobody left waiting
// once it is closed.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BoundedQueue.h"

namespace {

TEST(BoundedQueue, FastProducerNeverFillsItPastItsCapacity) {
    for (size_t capacity : {1u, 3u}) {
        BoundedQueue<int> queue(capacity);
        constexpr int kItems = 2000;
        std::vector<int> got;
        std::thread consumer([&] {
            while (std::optional<int> item = queue.pop()) {
                got.push_back(*item);
                std::this_thread::yield();   // slower than the producer
            }
        });
        for (int i = 0; i < kItems; ++i) ASSERT_TRUE(queue.push(i));
        queue.close();
        consumer.join();

        EXPECT_LE(queue.peak(), capacity);
        ASSERT_EQ(size_t(kItems), got.size()) << "capacity " << capacity;
        for (int i = 0; i < kItems; ++i) ASSERT_EQ(i, got[size_t(i)]) << "first in, first out";
    }
}

TEST(BoundedQueue, ClosingDrainsWhileAbandoningReleasesAWaitingProducer) {
    BoundedQueue<int> closed(2);
    ASSERT_TRUE(closed.push(1) && closed.push(2));
    closed.close();
    EXPECT_FALSE(closed.push(3));
    EXPECT_EQ(1, closed.pop().value_or(0));
    EXPECT_EQ(2, closed.pop().value_or(0));
    EXPECT_FALSE(closed.pop());

    // A producer blocked on a full queue gets false, and the consumers stop.
    BoundedQueue<int> full(1);
    ASSERT_TRUE(full.push(1));
    bool pushed = true;
    std::thread producer([&] { pushed = full.push(2); });
    full.abandon();
    producer.join();
    EXPECT_FALSE(pushed);
    EXPECT_FALSE(full.pop()) << "what was queued is thrown away";
}

}  // namespace
