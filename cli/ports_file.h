#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A ports file larger than this is refused rather than read.
inline constexpr std::size_t kMaxPortsFileBytes = 1 << 20;

// The descriptors of a ports file's text: one per line, blanks around it dropped. Empty lines and
// lines whose first non-blank character is "#" are skipped. Lines may end in "\n" or "\r\n".
std::vector<std::string> parsePortsText(std::string_view text);

// Reads and parses the file. False with `error` set when it cannot be read or is too large.
bool readPortsFile(const std::string& path, std::vector<std::string>& descriptors,
                   std::string& error);

}  // namespace korvane
