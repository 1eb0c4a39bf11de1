// The queue between the render thread and the frame writers: nobody is left
// waiting once it is abandoned.  Order, loss and the drain on closing show
// in the capture's pipelined frames.
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

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

TEST(BoundedQueue, AbandoningReleasesAWaitingProducer) {
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
