#pragma once

#include <mutex>

namespace korvane {

// A plain mutual-exclusion lock; usable with std::lock_guard / std::unique_lock.
class CriticalLock {
public:
    CriticalLock() = default;
    CriticalLock(const CriticalLock&) = delete;
    CriticalLock& operator=(const CriticalLock&) = delete;

    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }
    void lock() { enter(); }
    void unlock() { leave(); }
    std::mutex& native() { return mutex_; }

private:
    std::mutex mutex_;
};

// A one-byte stop flag guarded by its own lock.
class StopFlag {
public:
    void set();
    bool isSet();

private:
    CriticalLock lock_;
    bool value_ = false;
};

}  // namespace korvane
