// Linlang Karaoke: builds the platform's services once and runs the main window. One copy runs:
// a second one started with a song hands it to the first and ends.

#include "app/services/PlatformServices.h"
#include "common/Product.h"
#include "common/Text.h"
#include "platform/language/ProgramLanguage.h"
#include "ui/desktop/ApplicationSetup.h"
#include "ui/desktop/MprisService.h"
#include "ui/desktop/TerminationSignals.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <cstring>
#include <iostream>

namespace {

constexpr const char* kUsage = "usage: linlangok [SONG]\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace linlangok;
    QApplication application(argc, argv);
    const std::string language = StartLanguage(RememberedLanguage(), QLocale::system().uiLanguages());
    const std::unique_ptr<QTranslator> translation = InstallProgramLanguage(language);
    SetUpApplication(application, QLocale(QString::fromStdString(language)));

    // Qt has taken its own options out of the arguments: what is left is the song, if any.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::cerr << kUsage;
        return 2;
    }
    std::optional<std::filesystem::path> song;
    if (argc == 2) {
        std::error_code error;
        song = std::filesystem::absolute(argv[1], error);
    }
    const HandOverResult handOver = HandOverToRunningCopy(song);
    if (handOver.outcome == EHandOver::Handed)
        return 0;
    if (handOver.outcome == EHandOver::Refused) {
        std::cerr << handOver.refusal.toStdString() << '\n';
        return 1;
    }

    CPlatformServices platform(application);
    CKaraokeApplication karaoke(platform.Services());
    platform.Prompts().SetOwner(&karaoke.MainWindow());
    CTerminationSignalWatcher termination;
    QObject::connect(
        &termination, &CTerminationSignalWatcher::terminationRequested, &karaoke.MainWindow(), &CMainWindow::Terminate);
    QObject::connect(&karaoke, &CKaraokeApplication::finished, &application, &QApplication::exit);
    CMprisService mpris(karaoke, &platform.Prompts());
    QObject::connect(&karaoke.MainWindow(), &CMainWindow::displayTicked, &mpris, &CMprisService::Refresh);
    karaoke.Show();
    // The song is picked as a click in a song list picks it.
    if (song) {
        if (const std::optional<QString> refusal = SongFileRefusal(*song)) {
            std::cerr << refusal->toStdString() << '\n';
            karaoke.ShowNotice(refusal->toStdU16String());
        } else {
            karaoke.MainWindow().Controller().Handle(command::PickSong {PathToUtf16(*song)});
        }
    }
    return QApplication::exec();
}
