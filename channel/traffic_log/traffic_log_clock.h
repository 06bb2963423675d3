#pragma once

namespace korvane {

// The local wall-clock time, down to the millisecond, as the traffic log stamps its lines and
// names its files.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Reads the clock once, so the milliseconds always belong to the second shown.
LocalTime localTimeNow();

}  // namespace korvane
