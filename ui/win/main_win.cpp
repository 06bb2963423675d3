// korvane-updater.exe: the desktop window that installs firmware into OBD-II adapters.
#include "ui/win/win_api.h"
// After the Windows headers it builds on.
#include <commctrl.h>

#include "channel/serial/serial_port_list.h"
#include "engine/update_job.h"
#include "platform/standard_streams.h"
#include "ui/win/updater_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    korvane::guardStandardStreams();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The one job of the process, built before the window runs and released after it has gone:
    // any slot still held is closed then.
    korvane::UpdateJob job;
    korvane::UpdaterWindowWin window(
        job, [] { return korvane::listSerialPorts(); }, instance);
    if (!window.create()) {
        return 1;
    }
    window.show(show);
    window.run();
    return 0;
}
