// The kernel's termios2 interface reads any rate exactly; its header cannot meet <termios.h>, so
// it lives in this file alone.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "sim/null_modem/pty_line.h"

namespace korvane::sim {

int ptyLineRate(int fd) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return -1;
    }
    return static_cast<int>(settings.c_ospeed);
}

}  // namespace korvane::sim
