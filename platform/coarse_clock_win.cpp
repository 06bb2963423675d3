#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/coarse_clock.h"

namespace korvane {

std::int64_t coarseTickMs() {
    return static_cast<std::int64_t>(GetTickCount64());
}

}  // namespace korvane
