// The kernel's termios2 interface, kept apart because <asm/termbits.h> and <termios.h> cannot
// share a translation unit.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "sim/adapter/tty_rate.h"

namespace korvane::sim {
namespace {

// The classic speed code of a rate, or BOTHER for a rate that has none. Programs that only know
// the classic codes (some serial layers read nothing else) then see the pty's rate too.
tcflag_t speedCode(int rate) {
    switch (rate) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        case 2000000:
            return B2000000;
        default:
            return BOTHER;
    }
}

}  // namespace

int readTtyRate(int fd) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return -1;
    }
    return static_cast<int>(settings.c_ospeed);
}

bool setTtyRaw(int fd, int rate) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    settings.c_cflag |= CS8 | CREAD | CLOCAL | speedCode(rate);
    settings.c_ispeed = static_cast<speed_t>(rate);
    settings.c_ospeed = static_cast<speed_t>(rate);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace korvane::sim
