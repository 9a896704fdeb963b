// Linlang Karaoke: builds the platform's services once and runs the main window.

#include "app/PlatformServices.h"
#include "app/QtText.h"
#include "app/TerminationSignals.h"
#include "common/Product.h"

#include <QApplication>

int main(int argc, char** argv)
{
    using namespace linlangok;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("linlangok"));
    QApplication::setApplicationDisplayName(ToQString(kProductName));
    QApplication::setDesktopFileName(QStringLiteral("linlangok"));

    CPlatformServices platform(application);
    CKaraokeApplication karaoke(platform.Services());
    platform.Prompts().SetOwner(&karaoke.MainWindow());
    CTerminationSignalWatcher termination;
    QObject::connect(
        &termination, &CTerminationSignalWatcher::terminationRequested, &karaoke.MainWindow(), &CMainWindow::Terminate);
    QObject::connect(&karaoke, &CKaraokeApplication::finished, &application, &QApplication::exit);
    CMprisService mpris(karaoke);
    QObject::connect(&karaoke.MainWindow(), &CMainWindow::displayTicked, &mpris, &CMprisService::Refresh);
    karaoke.Show();
    return QApplication::exec();
}
