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
    bool expired() const { return remainingMs() < 1; }
    std::chrono::steady_clock::time_point timePoint() const { return end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

}  // namespace korvane
