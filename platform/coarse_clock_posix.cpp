#include <time.h>

#include "platform/coarse_clock.h"

namespace korvane {

std::int64_t coarseTickMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace korvane
