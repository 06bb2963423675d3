// korvane-updater: the desktop window that installs firmware into OBD-II adapters.
#include <QApplication>
#include <iostream>

#include "channel/serial/serial_port_list.h"
#include "engine/update_job.h"
#include "platform/standard_streams.h"
#include "ui/qt/command_line.h"
#include "ui/qt/updater_app.h"

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    // --help and --version answer without a display.
    if (const auto status = korvane::answerInfoOption(argc, argv, std::cout)) {
        return *status;
    }
    QApplication application(argc, argv);
    korvane::describeApplication(application);
    // The one job of the process, built before the application object runs and released after
    // the window has gone: any slot still held is closed then.
    korvane::UpdateJob job;
    korvane::UpdaterApp updater(job, [] { return korvane::listSerialPorts(); });
    updater.start();
    return 0;
}
