#include "channel/deadline_wait_win.h"

#include <chrono>

namespace korvane {

unsigned long waitBudgetMs(const Deadline& deadline) {
    using namespace std::chrono;
    const auto left = deadline.timePoint() - steady_clock::now();
    if (left <= steady_clock::duration::zero()) {
        return 0;
    }
    const auto ms = duration_cast<milliseconds>(left + milliseconds(1) - nanoseconds(1)).count();
    // 0xFFFFFFFF would mean "no limit" to the wait functions.
    constexpr long long kLongest = 0xFFFFFFFEll;
    return static_cast<unsigned long>(ms > kLongest ? kLongest : ms);
}

}  // namespace korvane
