#include "platform/tick.h"

#include <thread>

namespace korvane {

std::int64_t tickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

Deadline::Deadline(int budgetMs)
    : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs)) {}

bool Deadline::expired() const {
    return remainingMs() < 1;
}

int Deadline::remainingMs() const {
    using namespace std::chrono;
    auto left = duration_cast<milliseconds>(end_ - steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace korvane
