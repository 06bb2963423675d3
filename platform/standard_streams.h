#pragma once

namespace korvane {

// Called first thing by every program we ship, so that its own output can never hurt the work it
// does:
// - standard input, output or error that the program was started without (closed descriptors 0,
//   1, 2) are opened on the null device, so no port, socket or log ever takes their number and
//   receives text meant for the terminal;
// - a write to a pipe whose reader has gone fails (and the text is lost) instead of ending the
//   process (SIGPIPE is ignored).
// Windows has neither hazard (handles are never reused as standard streams, and there is no
// SIGPIPE); there it does nothing.
void guardStandardStreams();

}  // namespace korvane
