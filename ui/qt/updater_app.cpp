#include "ui/qt/updater_app.h"

#include <QApplication>
#include <utility>

#include "ui/model/app_info.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/updater_window.h"

namespace korvane {

void describeApplication(QApplication& application) {
    application.setApplicationName(QString::fromLatin1(kAppName));
    // No display name: the platform would append it to every window's title, and the window's
    // caption is the program's name and version exactly.
    application.setApplicationVersion(QString::fromLatin1(kProgramVersion));
    application.setDesktopFileName(QString::fromLatin1(kDesktopName));
    application.setWindowIcon(appIcon());
}

UpdaterApp::UpdaterApp(UpdateJob& job, PortLister lister) : job_(job), lister_(std::move(lister)) {}

bool UpdaterApp::start() {
    UpdaterWindow window(job_, lister_);
    window.exec();
    return false;
}

}  // namespace korvane
