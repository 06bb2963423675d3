#pragma once

#include <functional>

namespace korvane {

// Asked while a port is being opened: true once whoever opens it has been told to stop, and the
// opening is then given up (OpenCause::Stopped). An empty one never stops it.
using OpenStop = std::function<bool()>;

// The longest a wait while opening goes without looking at its OpenStop.
inline constexpr int kOpenStopLookMs = 100;

}  // namespace korvane
