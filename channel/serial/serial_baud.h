#pragma once

namespace korvane {

// Line-rate control of an open serial descriptor, for any rate the driver accepts (including
// rates without a standard speed constant).

// Sets input and output rate to `baud` exactly; false when the driver refuses.
bool setArbitraryBaud(int fd, int baud);
// The output rate the driver reports now, or -1 when it cannot be read.
int readBackBaud(int fd);

}  // namespace korvane
