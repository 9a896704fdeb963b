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

#include <cstdio>
#include <fstream>
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
    song.singer = u"周杰伦";
    song.format = "mp3";
    song.identity = {3, 0xFEDCBA9876543210};
    song.size = 3;
    song.titleReadings = "qing tian";
    {
        CSqliteCatalogStore store(file);
        store.AddFolder(folder.Path() / "歌");
        CatalogChanges changes {{song}, {}, {}};
        store.Apply(changes);
        song.id = changes.added[0].id;
        store.CountSung(song.id);
    }
    CSqliteCatalogStore reopened(file);
    EXPECT_EQ(reopened.SetAsideWarning(), u"");
    song.timesSung = 1;
    const std::vector<CatalogSong> loaded = reopened.LoadSongs();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0], song);
    reopened.RemoveFolder(folder.Path() / "歌");
    EXPECT_TRUE(reopened.LoadSongs().empty());

    const std::filesystem::path foreign = folder.Path() / "Foreign.db";
    std::ofstream(foreign) << "not a database, but someone's file";
    const CSqliteCatalogStore rebuilt(foreign);
    EXPECT_NE(rebuilt.SetAsideWarning(), u"");
    std::ifstream aside(folder.Path() / "Foreign.db.damaged");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), "not a database, but someone's file");
}

TEST(CatalogScannerTest, ScansRescansAndCountsUnreadableFiles)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path songs = folder.Path() / "songs";
    std::filesystem::create_directories(songs / "sub");
    std::filesystem::copy_file(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid", songs / "sub/01 - 茉莉花.mid");
    std::ofstream(songs / "broken.mp3") << "no sound here";
    std::ofstream(songs / "notes.txt") << "not a song";
    // GBK names, as an archive from a Chinese Windows machine unpacks: 中文.wav and 说明.txt.
    const std::filesystem::path gbkSong = songs / "\xD6\xD0\xCE\xC4.wav";
    test::WriteWavFile(gbkSong, std::vector<std::int16_t>(4410));
    std::ofstream(songs / "\xCB\xB5\xC3\xF7.txt") << "not a song";
    CSqliteCatalogStore store(folder.Path() / "Catalog.db");
    store.AddFolder(songs);
    CIcuTextReadings readings;
    const auto codePage = CreateLegacyCodePage();
    CSongFileReader reader(*codePage, NoEncodingDetection(), folder.Path() / "Lyric");
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CCatalogScanner scanner(store, reader, readings, readings, names);
    ScanReport report = scanner.Scan({});
    EXPECT_EQ(report.added, 2u);
    EXPECT_EQ(report.unreadable, std::vector<std::filesystem::path> {songs / "broken.mp3"});
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

    std::filesystem::rename(songs / "sub/01 - 茉莉花.mid", songs / "jasmine.mid");
    report = scanner.Scan({});
    EXPECT_EQ(report.changed, 1u);
    EXPECT_EQ(report.removed, 0u);
    EXPECT_EQ(store.LoadSongs().at(0).id, found[0].song->id);
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
