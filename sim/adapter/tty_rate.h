#pragma once

namespace korvane::sim {

// The line rate a tty's settings hold, exact also for custom rates such as 2000000. On a pty
// master this reads the settings the program on the slave side made. -1 on failure.
int readTtyRate(int fd);

// Puts the tty into raw 8N1 (no echo, no line editing, no CR/LF translation, no flow control) at
// `rate`, which may be any rate the driver takes. False on failure.
bool setTtyRaw(int fd, int rate);

}  // namespace korvane::sim
