#include "channel/byte_queue.h"

#include <algorithm>

namespace korvane {

ByteQueue::ByteQueue(std::size_t capacity) : capacity_(capacity) {}

bool ByteQueue::push(std::uint8_t byte) {
    return pushBytes(&byte, 1) == 1;
}

std::size_t ByteQueue::pushBytes(const std::uint8_t* bytes, std::size_t count) {
    std::size_t taken = 0;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        taken = std::min(count, capacity_ - bytes_.size());
        bytes_.insert(bytes_.end(), bytes, bytes + taken);
    }
    if (taken > 0) {
        changed_.notify_all();
    }
    return taken;
}

std::uint8_t ByteQueue::front() {
    std::lock_guard<std::mutex> hold(mutex_);
    return bytes_.empty() ? 0 : bytes_.front();
}

void ByteQueue::pop() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!bytes_.empty()) {
            bytes_.pop_front();
        }
    }
    changed_.notify_all();
}

std::size_t ByteQueue::popInto(std::uint8_t* out, std::size_t count) {
    std::size_t moved = 0;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        moved = std::min(count, bytes_.size());
        std::copy_n(bytes_.begin(), moved, out);
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(moved));
    }
    if (moved > 0) {
        changed_.notify_all();
    }
    return moved;
}

void ByteQueue::clear() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        bytes_.clear();
    }
    changed_.notify_all();
}

bool ByteQueue::empty() {
    std::lock_guard<std::mutex> hold(mutex_);
    return bytes_.empty();
}

std::size_t ByteQueue::size() {
    std::lock_guard<std::mutex> hold(mutex_);
    return bytes_.size();
}

bool ByteQueue::waitForAtLeast(std::size_t count, const Deadline& deadline) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (count > capacity_) {
        return false;  // can never be reached: do not sit out the whole budget
    }
    const std::uint64_t wakeAtStart = wakeCount_;
    changed_.wait_until(hold, deadline.timePoint(), [&] {
        return bytes_.size() >= count || ended_ || wakeCount_ != wakeAtStart;
    });
    return bytes_.size() >= count;
}

bool ByteQueue::waitUntilEmpty(const Deadline& deadline) {
    std::unique_lock<std::mutex> hold(mutex_);
    const std::uint64_t wakeAtStart = wakeCount_;
    changed_.wait_until(hold, deadline.timePoint(),
                        [&] { return bytes_.empty() || ended_ || wakeCount_ != wakeAtStart; });
    return bytes_.empty();
}

void ByteQueue::wake() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        ++wakeCount_;
    }
    changed_.notify_all();
}

void ByteQueue::end() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void ByteQueue::restart() {
    std::lock_guard<std::mutex> hold(mutex_);
    ended_ = false;
}

bool ByteQueue::ended() {
    std::lock_guard<std::mutex> hold(mutex_);
    return ended_;
}

}  // namespace korvane
