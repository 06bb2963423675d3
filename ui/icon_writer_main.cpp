// Writes the application icon as PNG files for installation:
//   korvane-icon-writer OUTPUT_DIR  ->  OUTPUT_DIR/korvane-updater-16.png, -32.png
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "ui/app_icon.h"
#include "ui/app_info.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (int size : korvane::kIconSizes) {
        const QString name =
            QStringLiteral("%1-%2.png").arg(QString::fromLatin1(korvane::kDesktopName)).arg(size);
        if (!korvane::drawAppIcon(size).save(out.filePath(name), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    return 0;
}
