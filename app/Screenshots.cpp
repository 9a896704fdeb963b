// linlangok-screenshots OUTPUT_FOLDER: renders the windows offscreen in their typical states
// into PNG files, the windows' golden pictures that a change to a window shows up in.

#include "app/PlatformServices.h"
#include "songlist/SongListWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QThread>

#include <cstdio>

namespace {

void RunEventsFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Save(QWidget& window, const QString& folder, const char* name)
{
    const QString path = folder + u'/' + QString::fromUtf8(name) + QStringLiteral(".png");
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", path.toUtf8().constData());
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace linlangok;
    if (argc != 2) {
        std::fprintf(stderr, "usage: linlangok-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    CPlatformServices platform(application);
    CKaraokeApplication karaoke(platform.Services());
    karaoke.Show();
    CMainWindow& window = karaoke.MainWindow();
    RunEventsFor(300);
    bool saved = Save(window, folder, "main-idle");
    window.Controller().Play();
    RunEventsFor(2300);
    saved &= Save(window, folder, "main-playing");
    window.Controller().Record();
    RunEventsFor(2300);
    saved &= Save(window, folder, "main-recording");

    // The song list window with its first list and the demo song selected.
    CSongListWindow& songList = karaoke.SongListWindow();
    static_cast<QListWidget*>(songList.Control(kSongListBox))->setCurrentRow(0);
    RunEventsFor(100);
    saved &= Save(songList, folder, "songlist-demo");
    return saved ? 0 : 1;
}
