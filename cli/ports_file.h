#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/port_label.h"

namespace korvane {

// A ports file larger than this is refused rather than read.
inline constexpr std::size_t kMaxPortsFileBytes = 1 << 20;

// The descriptors of a ports file's text: one per line, blanks around it dropped. Empty lines and
// lines whose first non-blank character is "#" are skipped. Lines may end in "\n" or "\r\n".
std::vector<std::string> parsePortsText(std::string_view text);

// As parsePortsText, and every descriptor must be well formed: the ports it names. A line without
// "|" names a serial port by its path, which may hold ":": "NAME", or "NAME BAUD" when the text
// after its last blank is a number (the default rate otherwise). A byte-order
// mark or a NUL byte anywhere is refused (the file is not plain text), and so is a malformed line,
// named by its number: false with `error` set.
bool parsePortsFileText(std::string_view text, std::vector<JobPort>& ports, std::string& error);

// Reads and parses the file. False with `error` set (starting "--ports-file: ") when it cannot be
// read, is not a regular file (a named pipe or device is refused without waiting on it), is too
// large, or holds what parsePortsFileText refuses.
bool readPortsFile(const std::string& path, std::vector<JobPort>& ports, std::string& error);

}  // namespace korvane
