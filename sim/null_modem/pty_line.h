#pragma once

namespace korvane::sim {

// The line rate a tty's settings hold (exact, also for rates such as 2000000); on a pty master it
// reads what the program on the slave side set. -1 on failure.
int ptyLineRate(int fd);

// Raw 8N1 at 115200 (no echo, no line editing, no translation, no flow control), set through the
// classic speed constant so that programs reading the rate as such a constant (wine does) can read
// it. False on failure.
bool makePtyLineRaw(int fd);

}  // namespace korvane::sim
