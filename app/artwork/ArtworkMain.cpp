// linlangok-artwork FOLDER: writes the application icon into FOLDER/hicolor/<size>x<size>/apps/
// for installation.

#include "ui/widgets/Artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: linlangok-artwork FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString apps = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(apps)
            || !linlangok::ApplicationIconImage(size).save(apps + QStringLiteral("/linlangok.png"))) {
            std::fprintf(stderr, "cannot write %s\n", apps.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
