#include "ui/updater_app.h"

#include <QApplication>
#include <utility>

#include "ui/app_icon.h"
#include "ui/app_info.h"
#include "ui/updater_window.h"

namespace korvane {

void describeApplication(QApplication& application) {
    application.setApplicationName(QString::fromLatin1(kAppName));
    // No display name: Qt would append it to every window title on X11, and the main window's
    // caption is "KorvaneFwUpdater v3.6" and nothing more.
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
