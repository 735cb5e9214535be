#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace Corvane::cli {

// A first-in first-out queue between two threads that never makes the one that fills it wait
// for the one that empties it: the lock is held only to move one element, and when the queue
// is full the oldest element makes room and is counted as dropped.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity)
        : capacity_(capacity == 0 ? 1 : capacity) {}
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    void push(T value) {
        const std::lock_guard lock(mutex_);
        if (items_.size() == capacity_) {
            items_.pop_front();
            ++dropped_;
        }
        items_.push_back(std::move(value));
    }

    std::optional<T> pop() {
        const std::lock_guard lock(mutex_);
        if (items_.empty()) {
            return std::nullopt;
        }
        T value = std::move(items_.front());
        items_.pop_front();
        return value;
    }

    std::vector<T> popAll() {
        const std::lock_guard lock(mutex_);
        std::vector<T> all(std::make_move_iterator(items_.begin()),
                           std::make_move_iterator(items_.end()));
        items_.clear();
        return all;
    }

    std::size_t size() const {
        const std::lock_guard lock(mutex_);
        return items_.size();
    }

    // Elements dropped so far to make room.
    std::uint64_t dropped() const {
        const std::lock_guard lock(mutex_);
        return dropped_;
    }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<T> items_;
    std::uint64_t dropped_ = 0;
};

} // namespace Corvane::cli
