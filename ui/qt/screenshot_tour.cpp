// korvane-ui-tour: opens the real window and saves pictures of it.
//   korvane-ui-tour OUT_DIR [ADDRESS PORT FIRMWARE_FILE]
// Writes OUT_DIR/window-start.png, OUT_DIR/about-box.png and OUT_DIR/wifi-panel.png; given an
// adapter's address and TCP port and an update file, it also runs an update from the WIFI panel and
// writes OUT_DIR/update-finished.png. Exit status 0 when every picture was written and the update
// (if any) finished, as the job itself told it.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

#include "channel/serial/serial_port_list.h"
#include "engine/update_job.h"
#include "ui/qt/about_box.h"
#include "ui/qt/updater_app.h"
#include "ui/qt/updater_window.h"
#include "ui/qt/wifi_panel.h"

namespace {

constexpr int kUpdateBudgetMs = 300000;

// Lets the window paint: runs the event loop until nothing is pending or `ms` have passed.
void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool savePicture(QWidget& window, const QDir& out, const char* name) {
    settle(200);
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// Starts an update and waits for the worker's last step, within kUpdateBudgetMs.
bool runUpdate(korvane::UpdaterWindow& window) {
    QEventLoop loop;
    QObject::connect(&window, &korvane::UpdaterWindow::workerFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kUpdateBudgetMs, &loop, &QEventLoop::quit);
    window.updateButton()->click();
    if (!window.isBusy()) {
        return false;  // the port did not open; the output box says why
    }
    loop.exec();
    return !window.isBusy();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    korvane::describeApplication(application);
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: %s OUT_DIR [ADDRESS PORT FIRMWARE_FILE]\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    korvane::UpdateJob job;
    korvane::UpdaterWindow window(job, [] { return korvane::listSerialPorts(); });
    window.show();
    bool ok = savePicture(window, out, "window-start.png");

    {
        korvane::AboutBox about(&window);
        about.show();
        ok = savePicture(about, out, "about-box.png") && ok;
    }

    window.wifiRadio()->click();
    ok = savePicture(window, out, "wifi-panel.png") && ok;

    if (argc == 5) {
        window.wifiPanel()->addressBox()->setText(QString::fromLocal8Bit(argv[2]));
        window.wifiPanel()->portBox()->setText(QString::fromLocal8Bit(argv[3]));
        window.pathBox()->setText(QString::fromLocal8Bit(argv[4]));
        const bool finished = runUpdate(window);
        const QString output = window.outputBox()->toPlainText();
        const bool succeeded = finished && window.lastOutcome().finished();
        ok = savePicture(window, out, "update-finished.png") && ok;
        std::printf("%s", qPrintable(output));
        if (!succeeded) {
            std::fprintf(stderr, "the update did not finish\n");
            ok = false;
        }
    }
    window.reject();
    return ok ? 0 : 1;
}
