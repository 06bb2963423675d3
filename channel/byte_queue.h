#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/tick.h"

namespace korvane {

// First-in-first-out queue of bytes with its own lock. Bounded: a push beyond the capacity is
// refused (returns false) so that a peer that floods us cannot exhaust memory. Waiters block on a
// condition variable, never in a sleep loop.
class ByteQueue {
public:
    static constexpr std::size_t kDefaultCapacity = 1u << 20;

    explicit ByteQueue(std::size_t capacity = kDefaultCapacity);
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;

    bool push(std::uint8_t byte);
    // Pushes as many of the bytes as fit; returns how many were taken.
    std::size_t pushBytes(const std::uint8_t* bytes, std::size_t count);
    // Front byte; only meaningful when not empty.
    std::uint8_t front();
    void pop();
    // Moves up to `count` bytes from the front into `out`; returns how many moved.
    std::size_t popInto(std::uint8_t* out, std::size_t count);
    void clear();
    bool empty();
    std::size_t size();
    std::size_t capacity() const { return capacity_; }

    // Blocks until at least `count` bytes are queued, the deadline passes, wake() is called or the
    // queue has ended. Returns whether `count` bytes are queued. A count above the capacity fails
    // at once.
    bool waitForAtLeast(std::size_t count, const Deadline& deadline);
    // Blocks until the queue is empty or the deadline passes (or wake(), or the end); returns
    // whether empty.
    bool waitUntilEmpty(const Deadline& deadline);
    // Wakes every waiter so that it re-checks (for example when the channel closes).
    void wake();
    // Marks the far end of the queue as gone (the connection it fed or drained has ended): every
    // wait, now and later, returns at once with what the queue holds. restart() undoes it.
    void end();
    void restart();
    bool ended();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> bytes_;
    std::size_t capacity_;
    std::uint64_t wakeCount_ = 0;
    bool ended_ = false;
};

}  // namespace korvane
