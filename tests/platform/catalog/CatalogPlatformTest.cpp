#include "common/Text.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/tags/SongFileReader.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

namespace linlangok {
namespace {

TEST(IcuTextReadingsTest, PolyphonesSurnamesAndFolding)
{
    CIcuTextReadings readings;
    for (const auto& [text, expected] : std::vector<std::pair<std::u16string, std::string>> {
             {u"长城", "chang/zhang cheng"}, {u"音乐", "yin le/yue"}, {u"单依纯", "dan/shan/chan yi chun"},
             {u"曾轶可", "ceng/zeng yi ke"}, {u"解晓东", "jie/xie xiao dong"}, {u"区瑞强", "qu/ou rui qiang/jiang"},
             {u"重逢", "zhong/chong feng"}, {u"绿光", "lv/lu guang"}, {u"罗刹海市", "luo sha/cha hai shi"},
             {u"纤夫", "xian/qian fu"}, {u"鄧麗君", "deng li jun"}, {u"Café Ｌｏｖｅ", "cafe love"}})
        EXPECT_EQ(ComposeReadings(readings.Fold(text), readings), expected) << Utf16ToUtf8(text);
    EXPECT_EQ(readings.Fold(u"鄧麗君 ÀÉ"), u"邓丽君 ae");
}

// Well-known titles and singers with the initials users type for them: at least 99 % of the titles
// and singers must be found by their initials, with the readings ICU and the table give.
TEST(IcuTextReadingsTest, InitialsRecallOnWellKnownSongs)
{
    CIcuTextReadings readings;
    std::ifstream table(LINLANGOK_SOURCE_DIR "/tests/platform/catalog/recall.tsv");
    size_t rows = 0;
    size_t found = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::u16string> fields;
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find('\t', start);
            fields.push_back(Utf8ToUtf16(line.substr(start, end == std::string::npos ? end : end - start)));
        }
        ASSERT_EQ(fields.size(), 4u) << line;
        for (const size_t field : {0, 2}) {
            const std::u16string text = NormalizeForSearch(fields[field], readings);
            const std::string composed = ComposeReadings(readings.Fold(fields[field]), readings);
            const auto match = field == 0 ? MatchSong(fields[field + 1], text, u"", composed, "")
                                          : MatchSong(fields[field + 1], u"", text, "", composed);
            ++rows;
            if (match && match->rank <= ESearchRank::Initials)
                ++found;
            else
                std::printf("not found: %s (%s) by %s\n", Utf16ToUtf8(fields[field]).c_str(), composed.c_str(),
                    Utf16ToUtf8(fields[field + 1]).c_str());
        }
    }
    std::printf("initials recall: %zu of %zu (%.1f %%)\n", found, rows, 100.0 * found / rows);
    EXPECT_GE(rows, 2000u);
    EXPECT_GE(found * 100, rows * 99);
}

TEST(SqliteCatalogStoreTest, StoresAndSetsAsideAForeignFile)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path file = folder.Path() / "Catalog.db";
    CatalogSong song;
    song.path = folder.Path() / "歌/a.mp3";
    song.title = u"晴天";
    song.singer = std::u16string(300, u'周'); // stored long by an older scan, read back capped
    song.format = "mp3";
    song.identity = {3, 0xFEDCBA9876543210};
    song.size = 3;
    song.titleReadings = "qing tian";
    song.modified = 5;
    song.cover = folder.Path() / "歌/封面.jpg";
    {
        CSqliteCatalogStore store(file);
        store.AddFolder(folder.Path() / "歌");
        CatalogChanges changes;
        changes.added = {song};
        store.Apply(changes);
        song.id = changes.added[0].id;
        store.CountSung(song.id);
    }
    CSqliteCatalogStore reopened(file);
    EXPECT_EQ(reopened.SetAsideWarning(), u"");
    song.timesSung = 1;
    song.singer.resize(kLongestCatalogText);
    const std::vector<CatalogSong> loaded = reopened.LoadSongs();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0], song);
    // A folder's removal keeps what lies under another song folder inside it.
    CatalogChanges nested;
    nested.added = {song};
    nested.added[0].path = folder.Path() / "歌/新歌/b.txt";
    nested.added[0].format = "txt";
    nested.unreadable = {{folder.Path() / "歌/bad.mp3", 5, 6}, {folder.Path() / "歌/新歌/bad.mp3", 7, 8}};
    reopened.AddFolder(folder.Path() / "歌/新歌");
    reopened.Apply(nested);
    reopened.RemoveFolder(folder.Path() / "歌");
    ASSERT_EQ(reopened.LoadSongs().size(), 1u);
    EXPECT_EQ(reopened.LoadSongs()[0].path, folder.Path() / "歌/新歌/b.txt");
    EXPECT_EQ(reopened.LoadUnreadable(), (std::vector<SongFile> {{folder.Path() / "歌/新歌/bad.mp3", 7, 8}}));

    // A foreign file and an empty one, which a crash or a full disk leaves, are set aside and said.
    for (const std::string content : {"not a database, but someone's file", ""}) {
        const std::filesystem::path foreign = folder.Path() / "Foreign.db";
        std::ofstream(foreign) << content;
        const CSqliteCatalogStore rebuilt(foreign);
        EXPECT_NE(rebuilt.SetAsideWarning(), u"");
        EXPECT_EQ(
            test::ReadWholeFile(folder.Path() / (content.empty() ? "Foreign.db.damaged-2" : "Foreign.db.damaged")),
            content);
    }

    // A catalogue of version 1 gains covers; its UltraStar songs are read again by the next scan.
    sqlite3* older = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &older), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(older, "ALTER TABLE songs DROP COLUMN cover; PRAGMA user_version=1", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(older);
    const std::vector<CatalogSong> migrated = CSqliteCatalogStore(file).LoadSongs();
    EXPECT_EQ(std::tuple(migrated.at(0).cover, migrated[0].modified), std::tuple(std::filesystem::path(), 0));
}

// The real reader, counting its reads of each file; one file makes it throw.
class CCountingReader final : public ISongReader {
public:
    CCountingReader(ISongReader& reader, std::filesystem::path throwing)
        : m_reader(reader)
        , m_throwing(std::move(throwing))
    {
    }
    std::optional<SongDetails> Read(const std::filesystem::path& path) override
    {
        if (++m_reads[path] && path == m_throwing)
            throw std::length_error("a reader's own failure");
        return m_reader.Read(path);
    }
    ISongReader& m_reader;
    std::filesystem::path m_throwing;
    std::map<std::filesystem::path, int> m_reads;
};

// Unreadable files are remembered and not read again while unchanged; none costs a long search (2 GB
// of zeros, sparse) or stops the scan (a reader throws); unreadable folders are named; titles capped.
TEST(CatalogScannerTest, ScansRescansAndRemembersUnreadableFilesAndFoldersAndCapsTitles)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path songs = folder.Path() / "songs";
    std::filesystem::create_directories(songs / "sub");
    std::filesystem::create_directory(folder.Path() / "Lyric");
    std::filesystem::copy_file(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid", songs / "sub/01 - 茉莉花.mid");
    std::ofstream(songs / "broken.mp3") << "no sound here";
    std::ofstream(songs / "notes.txt") << "not a song";
    // GBK names, as an archive from a Chinese Windows machine unpacks: 中文.wav and 说明.txt.
    const std::filesystem::path gbkSong = songs / "\xD6\xD0\xCE\xC4.wav";
    test::WriteWavFile(gbkSong, std::vector<std::int16_t>(4410));
    std::ofstream(songs / "\xCB\xB5\xC3\xF7.txt") << "not a song";
    folder.WriteFile("songs/sub/song.txt",
        "#TITLE:红日\n#ARTIST:李克勤\n#BPM:200\n#MP3:红日.wav\n#COVER:封面.jpg\n: 0 8 5 Hong\nE\n");
    // Three silent MPEG-1 layer III frames: a song, and the start of one that 2 GB of zeros follow.
    std::string frames;
    for (int frame = 0; frame < 3; ++frame)
        frames += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    folder.WriteFile("songs/song.mp3", std::string("ID3\x03\0\0\0\0\0\0", 10) + frames);
    for (const char* name : {"zeros.mp3", "zeros.ogg", "zeros.flac", "frames then zeros.mp3"}) {
        folder.WriteFile(std::string("songs/") + name, name[0] == 'f' ? frames : "");
        std::filesystem::resize_file(songs / name, std::uint64_t {2} << 30);
    }
    // A long title, and a file name whose 200th character is the first half of a surrogate pair.
    test::WriteWavFile(songs / "long.wav", std::vector<std::int16_t>(4410));
    folder.WriteFile("Lyric/long.lrc", "[ti:" + std::string(900, 'x') + "]\n");
    test::WriteWavFile(songs / (std::string(199, 'y') + "\xF0\x9F\x8E\xA4.wav"), std::vector<std::int16_t>(4410));
    CSqliteCatalogStore store(folder.Path() / "Catalog.db");
    store.AddFolder(songs);
    store.AddFolder(folder.Path() / "unplugged");
    store.AddFolder(folder.WriteFile("notes.txt", "no folder"));
    CIcuTextReadings readings;
    const auto codePage = CreateLegacyCodePage();
    CSongFileReader files(*codePage, NoEncodingDetection(), folder.Path() / "Lyric");
    CCountingReader reader(files, songs / "broken.mp3");
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CCatalogScanner scanner(store, reader, readings, readings, names);
    for (int scan = 0; scan < 2; ++scan) {
        const ScanReport report = scanner.Scan({});
        EXPECT_EQ(report.songs, 6u);
        EXPECT_EQ(std::set(report.unreadable.begin(), report.unreadable.end()),
            (std::set {songs / "broken.mp3", songs / "frames then zeros.mp3", songs / "zeros.flac", songs / "zeros.mp3",
                songs / "zeros.ogg"}));
        EXPECT_EQ(report.unreadableFolders,
            (std::vector<std::filesystem::path> {folder.Path() / "notes.txt", folder.Path() / "unplugged"}));
        EXPECT_EQ(reader.m_reads[songs / "zeros.mp3"], 1);
    }
    CCatalogIndex index(readings);
    index.Build(store.LoadSongs());
    const auto gbk = index.Search(u"zw", {}, 5);
    ASSERT_EQ(gbk.size(), 1u);
    EXPECT_EQ(gbk[0].song->title, u"中文");
    EXPECT_EQ(gbk[0].song->path, gbkSong);
    const auto found = index.Search(u"mlh", {}, 5);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].song->format, "mid");
    EXPECT_GT(found[0].song->lengthMilliseconds, 10000);
    std::set<std::u16string> titles;
    for (const CatalogSong& song : index.Songs())
        titles.insert(song.title);
    EXPECT_TRUE(titles.contains(std::u16string(kLongestCatalogText, u'x')));
    EXPECT_TRUE(titles.contains(std::u16string(kLongestCatalogText - 1, u'y')));
    const auto ultraStar = index.Search(u"hr", {}, 5);
    ASSERT_EQ(ultraStar.size(), 1u);
    EXPECT_EQ(std::tuple(ultraStar[0].song->singer, ultraStar[0].song->format, ultraStar[0].song->lengthMilliseconds,
                  ultraStar[0].song->cover),
        std::tuple(u"李克勤", "txt", 600, songs / "sub/封面.jpg"));

    // A moved song keeps its id; a changed unreadable file is read again; one gone is forgotten.
    std::filesystem::rename(songs / "sub/01 - 茉莉花.mid", songs / "jasmine.mid");
    std::filesystem::last_write_time(songs / "zeros.mp3", std::filesystem::file_time_type::clock::now());
    std::filesystem::remove(songs / "broken.mp3");
    const ScanReport report = scanner.Scan({});
    EXPECT_EQ(report.changed, 1u);
    EXPECT_EQ(report.removed, 0u);
    EXPECT_EQ(report.unreadable.size(), 4u);
    EXPECT_EQ(reader.m_reads[songs / "zeros.mp3"], 2);
    EXPECT_EQ(store.LoadUnreadable().size(), 4u);
    const std::int64_t id = found[0].song->id;
    index.Build(store.LoadSongs());
    EXPECT_EQ(index.Find(id)->path, songs / "jasmine.mid");
}

std::string BigEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xff);
    return out;
}

TEST(CatalogScannerTest, TitlesComeFromKarTitleLinesAndLrcTagsBeforeFileNames)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path songs = folder.Path() / "songs";
    const std::filesystem::path lyrics = folder.Path() / "Lyric";
    std::filesystem::create_directories(songs);
    std::filesystem::create_directories(lyrics);
    std::string events;
    for (const std::string text : {"@KMIDI KARAOKE FILE", "@TMoonlight Serenade", "@TGlenn Miller", "/Moon"})
        events += std::string("\0\xff\x01", 3) + static_cast<char>(text.size()) + text;
    events += std::string("\0\xff\x2f\0", 4);
    std::ofstream(songs / "track01.kar", std::ios::binary)
        << "MThd" << BigEndian(6, 4) << BigEndian(0, 2) << BigEndian(1, 2) << BigEndian(96, 2) << "MTrk"
        << BigEndian(static_cast<std::uint32_t>(events.size()), 4) << events;
    test::WriteWavFile(songs / "track02.wav", std::vector<std::int16_t>(4410), 44100, 1); // no tags
    std::ofstream(lyrics / "track02.lrc") << "[ti: 夜来香 ]\n[ar:李香兰]\n[00:01]那南风吹来清凉\n";
    const auto codePage = CreateLegacyCodePage();
    CSongFileReader reader(*codePage, NoEncodingDetection(), lyrics);
    for (const auto& [file, title, singer] : {std::tuple {"track01.kar", u"Moonlight Serenade", u"Glenn Miller"},
             std::tuple {"track02.wav", u"夜来香", u"李香兰"}}) {
        const std::optional<SongDetails> details = reader.Read(songs / file);
        ASSERT_TRUE(details) << file;
        EXPECT_EQ(details->title, title) << file;
        EXPECT_EQ(details->singer, singer) << file;
    }
}

} // namespace
} // namespace linlangok
