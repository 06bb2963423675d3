#include "platform/windows_api.h"

#include "platform/terminal_size.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace korvane {

bool standardErrorSize(int& rows, int& columns) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    DWORD mode = 0;
    if (GetConsoleScreenBufferInfo(error, &info) == FALSE ||
        GetConsoleMode(error, &mode) == FALSE) {
        return false;
    }
    // A console follows cursor sequences only when told to (Windows 10 and later).
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 &&
        SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) == FALSE) {
        return false;
    }
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    return rows > 0 && columns > 0;
}

}  // namespace korvane
