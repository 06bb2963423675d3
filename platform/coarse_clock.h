#pragma once

#include <cstdint>

namespace korvane {

// A monotonic count of milliseconds that costs next to nothing to read (no clock hardware is
// asked) but lags behind the real time by up to a few timer ticks. Good for telling that a
// deadline is still far away; never for measuring time.
std::int64_t coarseTickMs();

// How far the coarse count may lag behind the real time, at most, with room to spare: a timer
// tick is 1 to 16 ms on the platforms we run on.
inline constexpr int kCoarseClockSlackMs = 50;

}  // namespace korvane
