// Link-time replacement of platform/tick.cpp for the single-threaded fuzz targets. Every symbol
// that tick.cpp defines is defined here, so the linker never pulls tick.cpp from the channel
// library into a fuzz target.
#include "fuzz/support/virtual_clock.h"

#include <chrono>

#include "platform/tick.h"

namespace korvane {

namespace {

std::int64_t now = 0;

std::chrono::steady_clock::time_point virtualTimePoint(std::int64_t ms) {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

}  // namespace

namespace fuzz {

void resetVirtualClock() {
    now = 0;
}

void advanceVirtualClock(std::int64_t ms) {
    if (ms > 0) {
        now += ms;
    }
}

std::int64_t virtualNowMs() {
    return now;
}

}  // namespace fuzz

std::int64_t tickMs() {
    return now;
}

void sleepMs(int ms) {
    fuzz::advanceVirtualClock(ms);
}

Deadline::Deadline(int budgetMs) : end_(virtualTimePoint(now + budgetMs)) {}

bool Deadline::expired() const {
    return remainingMs() < 1;
}

int Deadline::remainingMs() const {
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(end_ - virtualTimePoint(now)).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace korvane
