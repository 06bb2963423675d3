#pragma once

#include "platform/tick.h"

namespace korvane {

// Milliseconds to hand to a system wait (poll, WaitForSingleObject) so that it does not end before
// `deadline`: the time left, rounded up; 0 once the deadline has passed. Never negative, so never
// a wait without limit.
int waitBudgetMs(const Deadline& deadline);

}  // namespace korvane
