#pragma once

#include <string>

namespace korvane::sim {

// What the adapter takes from a line command: upper-case hex digits, an even number of them, at
// most 253 (a 255-digit line without its two type digits).
bool isSoundLinePayload(const std::string& payload);

// What the adapter takes from a record command: upper-case hex digits making a big-endian data
// length n (0 to 130), exactly n data bytes and a checksum byte equal to the low 8 bits of their
// sum.
bool isSoundRecord(const std::string& record);

}  // namespace korvane::sim
