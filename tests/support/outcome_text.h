#pragma once

// How the user can tell how an update ended, from the texts the job reported: the last line of
// the output, and whether that line is a failure or refusal text.

#include <string>

namespace korvane::test {

inline constexpr char kFinishedText[] = "File download finished!\r\n";

// The last line of `output` (complete or not), without its line end. Reason lines (two blanks
// first) explain the failure text before them and are stepped over.
std::string lastLineOf(const std::string& output);
// A "**Failed** " text, or one of the refusal texts of identification and version gating ("This
// product is too old ..." ends with the support contact in square brackets and a full stop).
bool isFailureOrRefusalLine(const std::string& line);

}  // namespace korvane::test
