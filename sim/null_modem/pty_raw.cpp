#include <termios.h>

#include "sim/null_modem/pty_line.h"

namespace korvane::sim {

bool makePtyLineRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B115200) != 0 || cfsetospeed(&settings, B115200) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace korvane::sim
