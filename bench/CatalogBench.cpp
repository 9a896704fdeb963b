// The catalogue on a synthetic library of 100,000 songs (or the count given as the first
// argument): first scan, rescan with nothing changed, rescan with 1,000 files changed, and the
// search time of typed queries (initials, pinyin, two characters, text) in memory, and what a
// counted play costs (a new index). Then the 点歌 window, offscreen: the UI thread's longest
// event-loop turn while the catalogue service scans the library into a new catalogue, and the
// time from a keystroke to the results shown. Before those, a library of 10,000 UltraStar songs
// (or the count given as the second argument), each in its own folder with its sound file,
// scanned from scratch and rescanned. A first argument of 0 measures the UltraStar library alone.

#include "BenchSupport.h"
#include "bench/support/SilentPrompts.h"
#include "common/Text.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/tags/SongFileReader.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/desktop/QtUiThreadPoster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace linlangok::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Named {
    const char* title;
    const char* singer;
};

// Real songs and singers, Chinese, Japanese and Western; the library combines them.
constexpr Named kSongs[] = {{"月亮代表我的心", "邓丽君"}, {"甜蜜蜜", "邓丽君"}, {"小城故事", "邓丽君"},
    {"晴天", "周杰伦"}, {"稻香", "周杰伦"}, {"七里香", "周杰伦"}, {"青花瓷", "周杰伦"}, {"夜曲", "周杰伦"},
    {"后来", "刘若英"}, {"十年", "陈奕迅"}, {"浮夸", "陈奕迅"}, {"红豆", "王菲"}, {"传奇", "王菲"},
    {"匆匆那年", "王菲"}, {"童话", "光良"}, {"小幸运", "田馥甄"}, {"演员", "薛之谦"}, {"光年之外", "邓紫棋"},
    {"泡沫", "邓紫棋"}, {"海阔天空", "Beyond"}, {"光辉岁月", "Beyond"}, {"真的爱你", "Beyond"}, {"吻别", "张学友"},
    {"一千个伤心的理由", "张学友"}, {"朋友", "周华健"}, {"江南", "林俊杰"}, {"修炼爱情", "林俊杰"}, {"倔强", "五月天"},
    {"突然好想你", "五月天"}, {"平凡之路", "朴树"}, {"成都", "赵雷"}, {"南山南", "马頔"}, {"父亲", "筷子兄弟"},
    {"小苹果", "筷子兄弟"}, {"爱情买卖", "慕容晓晓"}, {"最炫民族风", "凤凰传奇"}, {"菊花台", "周杰伦"},
    {"长城", "Beyond"}, {"重逢", "单依纯"}, {"音乐", "曾轶可"}, {"说了再见", "周杰伦"}, {"单身情歌", "林志炫"},
    {"蓝莲花", "许巍"}, {"老男孩", "筷子兄弟"}, {"千本桜", "初音ミク"}, {"Lemon", "米津玄師"},
    {"夜に駆ける", "YOASOBI"}, {"糸", "中島みゆき"}, {"川の流れのように", "美空ひばり"}, {"さくら", "森山直太朗"},
    {"First Love", "宇多田ヒカル"}, {"Hotel California", "Eagles"}, {"Yesterday", "The Beatles"},
    {"Let It Be", "The Beatles"}, {"My Heart Will Go On", "Céline Dion"}, {"Bohemian Rhapsody", "Queen"},
    {"Hello", "Adele"}, {"Someone Like You", "Adele"}, {"Shape of You", "Ed Sheeran"},
    {"Yesterday Once More", "Carpenters"}, {"Take Me Home, Country Roads", "John Denver"},
    {"Billie Jean", "Michael Jackson"}};
constexpr const char* kVersions[] = {"", " (Live)", " (伴奏)", " (DJ版)", " (原版)", " (演唱会)", " 2"};

std::string Utf16Be(std::string_view utf8)
{
    std::string bytes = "\x01\xFF\xFE";
    for (const char16_t unit : Utf8ToUtf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string Id3Frame(const char* id, std::string_view utf8)
{
    const std::string body = Utf16Be(utf8);
    std::string frame(id, 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame += static_cast<char>((body.size() >> shift) & 0xFF);
    return frame + std::string(2, '\0') + body;
}

// An MP3 of three silent MPEG-1 layer III frames (128 kbit/s, 44.1 kHz) under an ID3v2.3 tag.
std::string TaggedMp3(std::string_view title, std::string_view singer)
{
    const std::string frames = Id3Frame("TIT2", title) + Id3Frame("TPE1", singer);
    std::string tag = "ID3\x03";
    tag += std::string(2, '\0');
    for (int shift = 21; shift >= 0; shift -= 7)
        tag += static_cast<char>((frames.size() >> shift) & 0x7F);
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    return tag + frames + frame + frame + frame;
}

std::string TinyWav(std::uint32_t frames = 4410)
{
    const std::uint32_t data = frames * 4;
    std::string bytes = "RIFF";
    auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(36 + data, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(176400, 4);
    put(4, 2);
    put(16, 2);
    bytes += "data";
    put(data, 4);
    return bytes + std::string(data, '\0');
}

// A format-0 MIDI file of one note with the title as its track name.
std::string TinyMidi(std::string_view title)
{
    std::string track = "\x00\xFF\x03";
    track = std::string(track.data(), 3) + static_cast<char>(title.size()) + std::string(title);
    track += std::string("\x00\x90\x3C\x40\x83\x60\x80\x3C\x00\x00\xFF\x2F\x00", 13);
    std::string bytes("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((track.size() >> shift) & 0xFF);
    return bytes + track;
}

struct Generated {
    std::vector<std::filesystem::path> files;
    std::vector<Named> names;
};

// The songs under root/songs; each WAV song, which has no tags, gets an LRC file with [ti:] and
// [ar:] in root/Lyric.
Generated GenerateLibrary(const std::filesystem::path& root, size_t count)
{
    std::filesystem::create_directories(root / "Lyric");
    Generated library;
    const std::string wav = TinyWav();
    std::mt19937 random(2024);
    for (size_t i = 0; i < count; ++i) {
        const Named& song = kSongs[random() % std::size(kSongs)];
        const std::string title
            = song.title + std::string(kVersions[random() % std::size(kVersions)]) + " " + std::to_string(i % 977);
        const std::filesystem::path folder
            = root / "songs" / Utf8ToUtf16(song.singer) / ("专辑" + std::to_string(i % 40)) / std::to_string(i / 2000);
        std::filesystem::create_directories(folder);
        std::filesystem::path file;
        std::string bytes;
        switch (i % 5) {
        case 0:
            file = folder / (std::string(song.singer) + " - " + title + " " + std::to_string(i) + ".wav");
            bytes = wav;
            std::ofstream(root / "Lyric" / file.filename().replace_extension(".lrc"))
                << "[ti:" << title << "]\n[ar:" << song.singer << "]\n[00:01.00]" << song.title << "\n";
            break;
        case 1:
            file = folder / (title + " " + std::to_string(i) + "(" + song.singer + ").mid");
            bytes = TinyMidi(title);
            break;
        default:
            file = folder / (std::to_string(i) + ".mp3");
            bytes = TaggedMp3(title, song.singer);
        }
        std::ofstream(file, std::ios::binary) << bytes;
        library.files.push_back(file);
        library.names.push_back(song);
    }
    return library;
}

// Made-up words for the UltraStar songs' titles and artists.
constexpr const char* kTitleWords[]
    = {"春风", "夜雨", "江边", "远山", "灯火", "Blue", "River", "Paper", "Silver", "Morning", "星河", "旧梦"};
constexpr const char* kArtists[]
    = {"林小雨", "王一帆", "陈默", "Lumen", "Kite Runners", "Mara Vell", "周若水", "The Quiet Bells"};

// A song of 40 lines of 6 notes, as long as a real one, beside its sound file and naming its cover.
std::string UltraStarText(const std::string& title, const std::string& artist, const std::string& audio)
{
    std::string text
        = "#TITLE:" + title + "\n#ARTIST:" + artist + "\n#MP3:" + audio + "\n#COVER:cover.jpg\n#BPM:240\n#GAP:1500\n";
    int beat = 0;
    for (int line = 0; line < 40; ++line) {
        for (int note = 0; note < 6; ++note, beat += 4)
            text += ": " + std::to_string(beat) + " 3 " + std::to_string(note + line % 5) + " la\n";
        text += "- " + std::to_string(beat++) + "\n";
    }
    return text + "E\n";
}

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

class CNoStarter final : public ISongStarter {
public:
    void StartSong(const std::filesystem::path&) override { }
};

// The window scans the library into a new catalogue while a zero-interval timer, which fires once
// each turn of the event loop, records the longest turn; then each query is typed into the search
// box and timed until its results are painted.
void MeasureWindow(const std::filesystem::path& root, const ICodePage& codePage, CIcuTextReadings& readings,
    const std::vector<std::u16string>& queries)
{
    const std::filesystem::path database = root / "Window.db";
    const CPathDisplay names(codePage, NoEncodingDetection());
    CSqliteCatalogStore store(database);
    const CatalogServices services {store,
        [database]() -> std::unique_ptr<ICatalogStore> { return std::make_unique<CSqliteCatalogStore>(database); },
        [&codePage, &root]() -> std::unique_ptr<ISongReader> {
            return std::make_unique<CSongFileReader>(codePage, NoEncodingDetection(), root / "Lyric");
        },
        readings, readings, names, root / "SongQueue.txt"};
    CSilentPrompts prompts;
    CNoStarter starter;
    CFlockFileLocks locks;
    CSongPicker picker(store, starter, prompts, locks, services.queueFile);
    QObject context;
    CQtUiThreadPoster uiThread(context);
    CCatalogService catalogue(CatalogueParts(services, uiThread));
    CCatalogWindow window(CatalogWindowParts {picker, catalogue, services, prompts, [] { return true; }});
    window.show();
    QElapsedTimer turn;
    qint64 longestTurn = 0;
    size_t turns = 0;
    QTimer everyTurn;
    QObject::connect(&everyTurn, &QTimer::timeout, [&] {
        longestTurn = std::max(longestTurn, turn.nsecsElapsed());
        ++turns;
        turn.restart();
    });
    const Clock::time_point start = Clock::now();
    store.AddFolder(root / "songs");
    window.Refresh(true);
    turn.start();
    everyTurn.start(0);
    while (window.IsBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    everyTurn.stop();
    std::printf("window scan: %.2f s, %zu event-loop turns, longest %.1f ms\n", Seconds(start), turns,
        static_cast<double>(longestTurn) / 1e6);
    std::vector<double> times;
    for (const std::u16string& query : queries) {
        const Clock::time_point at = Clock::now();
        window.SearchBox()->setText(QString::fromStdU16String(query));
        window.repaint();
        times.push_back(Seconds(at) * 1000);
    }
    std::printf("window keystroke to results painted: p50 %.2f ms, p95 %.2f ms, max %.2f ms\n", Percentile(times, 0.5),
        Percentile(times, 0.95), Percentile(times, 1.0));
}

// The UltraStar library under root: a folder per song with its .txt and a short WAV, every
// file its own; then the first scan into a new catalogue and a rescan with nothing changed.
void MeasureUltraStar(
    const std::filesystem::path& root, size_t count, const ICodePage& codePage, CIcuTextReadings& readings)
{
    Clock::time_point start = Clock::now();
    const std::string wav = TinyWav(441);
    std::mt19937 random(2026);
    for (size_t i = 0; i < count; ++i) {
        const std::string artist = kArtists[random() % std::size(kArtists)];
        const std::string title = std::string(kTitleWords[random() % std::size(kTitleWords)]) + " "
            + kTitleWords[random() % std::size(kTitleWords)] + " " + std::to_string(i);
        const std::filesystem::path folder = root / "songs" / Utf8ToUtf16(artist) / Utf8ToUtf16(artist + " - " + title);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / Utf8ToUtf16(title + ".txt"), std::ios::binary)
            << UltraStarText(title, artist, title + ".wav");
        std::ofstream(folder / Utf8ToUtf16(title + ".wav"), std::ios::binary) << wav;
    }
    std::printf("generated %zu UltraStar songs in %.1f s\n", count, Seconds(start));
    CSqliteCatalogStore store(root / "Catalog.db");
    store.AddFolder(root / "songs");
    CSongFileReader reader(codePage, NoEncodingDetection(), root / "Lyric");
    const CPathDisplay names(codePage, NoEncodingDetection());
    CCatalogScanner scanner(store, reader, readings, readings, names);
    start = Clock::now();
    ScanReport report = scanner.Scan({});
    std::printf("UltraStar first scan: %.2f s (%zu songs, %zu unreadable)\n", Seconds(start), report.songs,
        report.unreadable.size());
    start = Clock::now();
    report = scanner.Scan({});
    std::printf("UltraStar rescan, nothing changed: %.2f s (%zu changed)\n", Seconds(start), report.changed);
}

} // namespace
} // namespace linlangok::bench

int main(int argc, char** argv)
{
    using namespace linlangok;
    using namespace linlangok::bench;
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const size_t ultraStarCount = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "linlangok-catalog-bench";
    std::filesystem::remove_all(root);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    CIcuTextReadings readings;
    const auto codePage = CreateLegacyCodePage();
    MeasureUltraStar(root / "ultrastar", ultraStarCount, *codePage, readings);
    std::filesystem::remove_all(root / "ultrastar");
    if (count == 0)
        return 0;
    Clock::time_point start = Clock::now();
    const Generated library = GenerateLibrary(root, count);
    std::printf("generated %zu songs in %.1f s\n", count, Seconds(start));

    CSqliteCatalogStore store(root / "Catalog.db");
    store.AddFolder(root / "songs");
    CSongFileReader reader(*codePage, NoEncodingDetection(), root / "Lyric");
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CCatalogScanner scanner(store, reader, readings, readings, names);
    start = Clock::now();
    ScanReport report = scanner.Scan({});
    std::printf(
        "first scan: %.2f s (%zu songs, %zu unreadable)\n", Seconds(start), report.songs, report.unreadable.size());
    start = Clock::now();
    report = scanner.Scan({});
    std::printf("rescan, nothing changed: %.2f s (%zu changed)\n", Seconds(start), report.changed);
    for (size_t i = 0; i < 1000 && i < library.files.size(); ++i) {
        const std::filesystem::path& file = library.files[i * library.files.size() / 1000];
        std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::seconds(10));
    }
    start = Clock::now();
    report = scanner.Scan({});
    std::printf("rescan, 1000 files changed: %.2f s (%zu changed)\n", Seconds(start), report.changed);

    start = Clock::now();
    CCatalogIndex index(readings);
    index.Build(store.LoadSongs());
    std::printf("load and index: %.2f s\n", Seconds(start));
    start = Clock::now();
    CCatalogIndex counted(index);
    counted.CountSung(index.Songs().front().id);
    std::printf("count a play (a copy of the index with the count): %.2f ms\n", Seconds(start) * 1000);
    std::vector<std::u16string> queries;
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        const Named& song = library.names[random() % library.names.size()];
        const std::u16string title = Utf8ToUtf16(song.title);
        const std::string titleReadings = ComposeReadings(readings.Fold(title), readings);
        queries.push_back(TypedQuery(title, titleReadings, static_cast<size_t>(i)));
    }
    std::vector<double> times;
    for (const std::u16string& query : queries) {
        const Clock::time_point at = Clock::now();
        index.Search(query, {}, 200);
        times.push_back(Seconds(at) * 1000);
    }
    std::printf("search in memory (limit 200): p50 %.2f ms, p95 %.2f ms, max %.2f ms\n", Percentile(times, 0.5),
        Percentile(times, 0.95), Percentile(times, 1.0));
    MeasureWindow(root, *codePage, readings, queries);
    std::filesystem::remove_all(root);
    return 0;
}
