#pragma once

#include <array>

namespace korvane {

// The thirteen baud rates a serial panel offers, in list order; "115200" is the preset choice.
inline constexpr std::array<const char*, 13> kBaudRates = {
    "9600",   "19200",  "38400",   "57600",   "115200",  "230400", "256000",
    "460800", "500000", "1000000", "2000000", "4000000", "8000000"};
inline constexpr int kDefaultBaudIndex = 4;

// What the WIFI panel shows at start.
inline constexpr const char* kDefaultWifiAddress = "192.168.0.10";
inline constexpr const char* kDefaultWifiPort = "35000";

// The port list's selection after Refresh found `count` ports, restored by position: the
// remembered index when it still exists, otherwise the first entry, none (-1) for an empty list.
inline int restoredPortIndex(int remembered, int count) {
    if (count <= 0) {
        return -1;
    }
    return remembered >= 0 && remembered < count ? remembered : 0;
}

}  // namespace korvane
