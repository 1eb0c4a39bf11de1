// The queue between the render thread and the frame writers: never more than
// its capacity in it, nothing lost or reordered, and nobody left waiting
// once it is closed.
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "BoundedQueue.h"

namespace {

// The scheduler state of one of this process's threads ('R' running, 'S'
// asleep), as the kernel reports it.
char threadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string line{std::istreambuf_iterator<char>(stat), {}};
    const size_t name = line.rfind(')');
    return name != std::string::npos && name + 2 < line.size() ? line[name + 2] : '?';
}

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
    // It is asleep in the kernel before abandon: nothing after it learns its
    // thread id blocks but the wait for room.
    BoundedQueue<int> full(1);
    ASSERT_TRUE(full.push(1));
    std::atomic<pid_t> producerId{0};
    std::promise<bool> pushed;
    std::thread producer([&] {
        producerId = pid_t(syscall(SYS_gettid));
        pushed.set_value(full.push(2));
    });
    while (!producerId) std::this_thread::yield();
    while (threadState(producerId) != 'S') std::this_thread::yield();
    full.abandon();
    // A guard against hanging on a lost wake-up, not a speed limit.
    std::future<bool> result = pushed.get_future();
    const bool woke = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!woke) full.close();   // a second wake-up, so the thread can still be joined
    producer.join();
    EXPECT_TRUE(woke) << "abandon left the waiting producer asleep";
    EXPECT_FALSE(result.get());
    EXPECT_FALSE(full.pop()) << "what was queued is thrown away";
}

}  // namespace
