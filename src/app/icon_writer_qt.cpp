// Writes the program's icon as PNG files in the XDG icon theme layout
// (OUTDIR/hicolor/NxN/apps/talvenor.png), for the install.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "platform/app_icon_qt.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(folder) || !talvenor::PaintAppIcon(size).save(folder + "/talvenor.png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
