#pragma once

#include "ui/model/port_lister.h"

class QApplication;

namespace korvane {

class UpdateJob;

// Names the application to the desktop: program name, version, icon and desktop entry.
void describeApplication(QApplication& application);

// The application object: its start operation runs the main window modally on the process's one
// UpdateJob. It holds nothing of its own.
class UpdaterApp {
public:
    UpdaterApp(UpdateJob& job, PortLister lister);

    // Runs the main window until its close procedure ends it. Always false: the application runs
    // no loop of its own afterwards and the process ends.
    bool start();

private:
    UpdateJob& job_;
    PortLister lister_;
};

}  // namespace korvane
