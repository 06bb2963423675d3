#pragma once

// The fuzz targets run on a virtual clock instead of the system tick counter: sleepMs, tickMs and
// Deadline (platform/tick.h) are replaced at link time by virtual_clock.cpp, so a wait costs no
// real time and every budget still runs out in the order the code expects. Time moves only when
// something moves it: sleepMs, or the fuzz channel when a read waits or bytes take time to come.

#include <cstdint>

namespace korvane::fuzz {

// Back to 0 at the start of every fuzz input.
void resetVirtualClock();
void advanceVirtualClock(std::int64_t ms);
std::int64_t virtualNowMs();

}  // namespace korvane::fuzz
