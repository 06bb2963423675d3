#pragma once

namespace korvane {

// Whether the process's standard error goes to a terminal (where a progress bar can be redrawn
// in place) rather than to a file or a pipe.
bool standardErrorIsTerminal();

}  // namespace korvane
