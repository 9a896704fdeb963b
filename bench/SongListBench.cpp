// Adding a folder of 10,000 songs in the song list window, offscreen: the time from the click on
// "文件夹" to the filled song box and the saved list, and how long the window stopped answering
// at a stretch meanwhile (the click itself, which reads the listing, and the longest slice).
// Figures only.
//
// bench_song_list [--files N] [--runs N]   (default 10,000 files, 5 runs)

#include "app/services/PlatformServices.h"
#include "bench/BenchSupport.h"
#include "common/Text.h"
#include "ui/songlist/SongListWindow.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The folder browser answers with the bench's folder; nothing else is expected.
class CFolderPrompts final : public IUserPrompts {
public:
    explicit CFolderPrompts(std::filesystem::path folder)
        : m_folder(std::move(folder))
    {
    }
    EPromptAnswer ShowMessage(const MessageRequest& request) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", Utf16ToUtf8(request.text).c_str());
        return EPromptAnswer::Ok;
    }
    std::optional<std::filesystem::path> AskOpenPath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskSavePath(const FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskFolder(const FolderRequest&) override { return m_folder; }
    std::optional<FontChoice> AskFont(const FontChoice&) override { return {}; }

private:
    std::filesystem::path m_folder;
};

struct CNoDesktop final : IDesktopOpener {
    void OpenDocument(const std::filesystem::path&) override { }
    void OpenWebPage(std::u16string_view) override { }
};

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    int files = 10000;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--files") == 0)
            files = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
    }
    const auto root = std::filesystem::temp_directory_path() / ("linlangok-bench-songlist-" + std::to_string(getpid()));
    const auto songs = root / "songs";
    std::filesystem::create_directories(songs);
    std::filesystem::create_directories(root / "home");
    setenv("LINLANGOK_HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("LINLANGOK_AUDIO_IN", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* extensions[] = {".mid", ".MP3", ".wav"};
    for (int i = 0; i < files; ++i)
        std::ofstream(songs / ("歌曲 " + std::to_string(i) + extensions[i % 3]));

    std::vector<double> totals;
    std::vector<double> clicks;
    std::vector<double> slices;
    int listed = 0;
    {
        QApplication application(argc, argv);
        CPlatformServices platform(application);
        const ApplicationServices services = platform.Services();
        CKaraokeApplication karaoke(services);
        CFolderPrompts prompts(songs);
        CNoDesktop desktop;
        CSongListWindow window(
            SongListWindowParts {karaoke.MainWindow().Controller(), prompts, desktop, services.session.codePage,
                karaoke.Session().Texts().PathDisplay(), services.collator, services.session.programFolder, {}, {}});
        window.show();
        auto* songBox = static_cast<QListWidget*>(window.Control(kSongListBox));
        for (int run = 0; run < runs; ++run) {
            static_cast<QPushButton*>(window.Control(kClearSongsButton))->click();
            QApplication::processEvents();
            const auto start = Clock::now();
            static_cast<QPushButton*>(window.Control(kAddFolderButton))->click();
            clicks.push_back(MillisecondsSince(start));
            while (window.IsAddingFolder()) {
                const auto turn = Clock::now();
                QApplication::processEvents();
                slices.push_back(MillisecondsSince(turn));
            }
            totals.push_back(MillisecondsSince(start));
            listed = songBox->count();
        }
    }
    std::filesystem::remove_all(root);

    std::printf("folder of %d songs, %d runs; the song box holds %d songs\n", files, runs, listed);
    std::printf("click to filled list:  median %.0f ms, max %.0f ms\n", bench::Percentile(totals, 0.5),
        bench::Percentile(totals, 1.0));
    std::printf("click (reads the listing): median %.1f ms, max %.1f ms\n", bench::Percentile(clicks, 0.5),
        bench::Percentile(clicks, 1.0));
    std::printf("event loop turns while adding: %zu, p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", slices.size(),
        bench::Percentile(slices, 0.5), bench::Percentile(slices, 0.99), bench::Percentile(slices, 1.0));
    return listed == files ? 0 : 1;
}
