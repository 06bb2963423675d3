#pragma once

namespace korvane {

// The rows and columns of the terminal that standard error goes to, for output that redraws
// several lines in place with the VT100 cursor sequences (cursor up and down, erase line, erase
// below). On Windows this also turns on the console's handling of those sequences. False, with
// both left as they were, when standard error is no terminal, does not tell its size, or cannot
// follow the sequences.
bool standardErrorSize(int& rows, int& columns);

}  // namespace korvane
