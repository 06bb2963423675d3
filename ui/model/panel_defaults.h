#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

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

// The port list's selection after the serial ports changed by themselves (a port came or went):
// the port that was selected, by name, while it is still listed; otherwise the first entry; none
// (-1) for an empty list.
inline int keptPortIndex(const std::string& selected, const std::vector<std::string>& ports) {
    if (ports.empty()) {
        return -1;
    }
    const auto at = std::find(ports.begin(), ports.end(), selected);
    return at == ports.end() ? 0 : static_cast<int>(at - ports.begin());
}

// The index of `text` in a list, appended when missing.
inline int indexInList(std::vector<std::string>& list, const std::string& text) {
    const auto at = std::find(list.begin(), list.end(), text);
    if (at != list.end()) {
        return static_cast<int>(at - list.begin());
    }
    list.push_back(text);
    return static_cast<int>(list.size()) - 1;
}

}  // namespace korvane
