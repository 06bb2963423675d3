// The termios2 interface carries any rate in c_ispeed/c_ospeed. Its header cannot meet
// <termios.h> in one translation unit, so it lives here on its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "channel/serial/serial_baud.h"

namespace korvane {

bool setArbitraryBaud(int fd, int baud) {
    if (baud <= 0) {
        return false;
    }
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baud);
    settings.c_ospeed = static_cast<speed_t>(baud);
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

int readBackBaud(int fd) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return -1;
    }
    return static_cast<int>(settings.c_ospeed);
}

}  // namespace korvane
