// Linlang Karaoke: builds the platform's services once and runs the main window.

#include "app/services/PlatformServices.h"
#include "common/Product.h"
#include "ui/desktop/TerminationSignals.h"
#include "ui/widgets/QtText.h"

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
    QObject::connect(&termination, &CTerminationSignalWatcher::terminationRequested, &karaoke.MainWindow(),
        &CMainWindow::QuitFromMenu);
    QObject::connect(&karaoke, &CKaraokeApplication::finished, &application, &QApplication::exit);
    CMprisService mpris(karaoke);
    QObject::connect(&karaoke.MainWindow(), &CMainWindow::displayTicked, &mpris, &CMprisService::Refresh);
    karaoke.Show();
    return QApplication::exec();
}
