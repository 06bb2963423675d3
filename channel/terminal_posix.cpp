#include <unistd.h>

#include "channel/terminal.h"

namespace korvane {

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace korvane
