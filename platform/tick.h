#pragma once

#include <chrono>
#include <cstdint>

namespace korvane {

// Monotonic milliseconds; only differences mean anything.
std::int64_t tickMs();
void sleepMs(int ms);

// The one place where a millisecond budget is counted down. A budget below 1 is expired.
class Deadline {
public:
    explicit Deadline(int budgetMs);
    // Milliseconds left, never below 0.
    int remainingMs() const;
    // Whether less than 1 ms is left.
    bool expired() const;
    std::chrono::steady_clock::time_point timePoint() const { return end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

}  // namespace korvane
