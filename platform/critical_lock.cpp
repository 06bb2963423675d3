#include "platform/critical_lock.h"

namespace korvane {

void StopFlag::set() {
    std::lock_guard<CriticalLock> hold(lock_);
    value_ = true;
}

bool StopFlag::isSet() {
    std::lock_guard<CriticalLock> hold(lock_);
    return value_;
}

}  // namespace korvane
