#pragma once

#include "channel/tick.h"

namespace korvane {

// Milliseconds to hand to a Windows wait so that it does not end before `deadline`: the time left,
// rounded up, 0 once the deadline has passed, never INFINITE.
unsigned long waitBudgetMs(const Deadline& deadline);

}  // namespace korvane
