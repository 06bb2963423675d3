#include "platform/deadline_wait.h"

#include <chrono>
#include <climits>

namespace korvane {

int waitBudgetMs(const Deadline& deadline) {
    using namespace std::chrono;
    const auto left = deadline.timePoint() - steady_clock::now();
    if (left <= steady_clock::duration::zero()) {
        return 0;
    }
    const auto ms = duration_cast<milliseconds>(left + milliseconds(1) - nanoseconds(1)).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

}  // namespace korvane
