#include "platform/windows_api.h"

#include "platform/terminal.h"

namespace korvane {

bool standardErrorIsTerminal() {
    // Only a console redraws a line in place; a file, a pipe or the NUL device does not.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace korvane
