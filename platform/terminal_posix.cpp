#include <unistd.h>

#include "platform/terminal.h"

namespace korvane {

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace korvane
