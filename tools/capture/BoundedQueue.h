// A blocking first-in first-out queue of at most `capacity` items: the
// producer waits while it is full, consumers wait while it is empty.  What
// bounds the capture's memory, whatever the span.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

template <class T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

    // Waits for room; false, with the item dropped, once the queue is closed.
    bool push(T item) {
        std::unique_lock<std::mutex> hold(lock_);
        notFull_.wait(hold, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        peak_ = std::max(peak_, items_.size());
        notEmpty_.notify_one();
        return true;
    }

    // Waits for an item; none once the queue is closed and drained.
    std::optional<T> pop() {
        std::unique_lock<std::mutex> hold(lock_);
        notEmpty_.wait(hold, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        notFull_.notify_one();
        return item;
    }

    // No more pushes; consumers still get what is queued.
    void close() {
        const std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

    // Closes and throws away what is queued: the consumers stop at once.
    void abandon() {
        const std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
        items_.clear();
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

    size_t peak() const {   // the most items it ever held at once
        const std::lock_guard<std::mutex> hold(lock_);
        return peak_;
    }

private:
    const size_t            capacity_;
    mutable std::mutex      lock_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<T>           items_;
    size_t                  peak_ = 0;
    bool                    closed_ = false;
};
