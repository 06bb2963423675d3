#pragma once

#include <cstdio>
#include <string>

namespace korvane {

// Opens the file named by `path` (UTF-8) for reading in binary mode; null when it cannot be
// opened. POSIX (file_open_posix.cpp) hands the bytes to fopen as they are; Windows
// (file_open_win.cpp) converts them to UTF-16 and opens with the wide call, so a name in any
// script works whatever the system's code page. A path that is not valid UTF-8 there is refused.
std::FILE* openFileForReading(const std::string& path);

}  // namespace korvane
