#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/terminal_size.h"

namespace korvane {

bool standardErrorSize(int& rows, int& columns) {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return false;
    }
    rows = size.ws_row;
    columns = size.ws_col;
    return true;
}

}  // namespace korvane
