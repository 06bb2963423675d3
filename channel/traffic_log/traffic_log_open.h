#pragma once

#include <cstdio>
#include <string>

namespace korvane {

// Opens the traffic log file `path` for appending, creating it when missing. Never through a
// symbolic link: neither the file nor the folder it sits in may be one. nullptr with the system's
// error number in `systemCode` when it cannot be opened.
std::FILE* openTrafficLogFile(const std::string& path, int& systemCode);

}  // namespace korvane
