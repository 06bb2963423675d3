// Writes the application icon as PNG files for installation and as the Windows icon file:
//   korvane-icon-writer OUTPUT_DIR SIZE...  ->  OUTPUT_DIR/korvane-updater-SIZE.png for each SIZE
//                                               and OUTPUT_DIR/korvane-updater.ico (32 and 16
//                                               pixels, the window's own sizes)
// The Windows build has no Qt to draw with; it takes the icon file kept in ui/win/, which a test
// compares with the one drawn here.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

#include <vector>

#include "ui/model/app_info.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/icon_file.h"

namespace {

// Desktops ask for icons from 16 up to 256 pixels (the hicolor theme's largest common size); a
// larger one would only make the packages bigger.
constexpr int kSmallestSize = 16;
constexpr int kLargestSize = 256;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size < kSmallestSize || size > kLargestSize) {
            std::fprintf(stderr, "icon size must be %d to %d: %s\n", kSmallestSize, kLargestSize,
                         argv[i]);
            return 2;
        }
        const QString name =
            QStringLiteral("%1-%2.png").arg(QString::fromLatin1(korvane::kDesktopName)).arg(size);
        if (!korvane::drawAppIcon(size).save(out.filePath(name), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    // Largest first, as Windows icon files list their images.
    std::vector<QImage> images;
    for (auto size = std::rbegin(korvane::kIconSizes); size != std::rend(korvane::kIconSizes);
         ++size) {
        images.push_back(korvane::drawAppIcon(*size));
    }
    QFile ico(out.filePath(QString::fromLatin1(korvane::kDesktopName) + QStringLiteral(".ico")));
    const QByteArray bytes = korvane::iconFile(images);
    if (!ico.open(QIODevice::WriteOnly) || ico.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ico.fileName()));
        return 1;
    }
    return 0;
}
