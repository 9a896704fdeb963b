// Linlang Karaoke: builds the platform's services once and runs the main window.

#include "app/ApplicationSetup.h"
#include "app/PlatformServices.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv)
{
    using namespace linlangok;
    QApplication application(argc, argv);
    SetUpApplication(application, QLocale::system());

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
