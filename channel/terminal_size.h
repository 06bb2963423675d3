#pragma once

namespace korvane {

// The rows and columns of the terminal that standard error goes to. False, with both left as
// they were, when standard error is no terminal or the terminal does not tell its size.
bool standardErrorSize(int& rows, int& columns);

}  // namespace korvane
