#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/catalog/CatalogScanner.h"
#include "core/catalog/CatalogSearch.h"
#include "core/catalog/CatalogService.h"
#include "core/catalog/PendingCounts.h"
#include "core/catalog/SongNaming.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

namespace linlangok {
namespace {

// A few characters' readings and traditional forms, as the ICU stand-ins would give them.
class CTableText : public ITextFolding, public IPinyin {
public:
    std::u16string Fold(std::u16string_view text) override
    {
        std::u16string folded;
        for (char16_t character : text) {
            const auto simplified = kSimplified.find(character);
            folded += simplified != kSimplified.end()    ? simplified->second
                : character >= u'A' && character <= u'Z' ? static_cast<char16_t>(character + 32)
                                                         : character;
        }
        return folded;
    }
    std::vector<std::string> Readings(char32_t character) override
    {
        const auto found = kReadings.find(character);
        return found == kReadings.end() ? std::vector<std::string> {} : found->second;
    }

private:
    const std::map<char16_t, char16_t> kSimplified {{u'鄧', u'邓'}, {u'麗', u'丽'}};
    const std::map<char32_t, std::vector<std::string>> kReadings {{U'月', {"yue"}}, {U'亮', {"liang"}},
        {U'代', {"dai"}}, {U'表', {"biao"}}, {U'我', {"wo"}}, {U'的', {"de", "di"}}, {U'心', {"xin"}},
        {U'邓', {"deng"}}, {U'丽', {"li"}}, {U'君', {"jun"}}, {U'晴', {"qing"}}, {U'天', {"tian"}}, {U'周', {"zhou"}},
        {U'杰', {"jie"}}, {U'伦', {"lun"}}, {U'长', {"chang", "zhang"}}, {U'城', {"cheng"}}, {U'稻', {"dao"}},
        {U'香', {"xiang"}}, {U'重', {"zhong", "chong"}}, {U'逢', {"feng"}}, {U'单', {"dan", "shan"}}, {U'依', {"yi"}},
        {U'纯', {"chun"}}, {U'爱', {"ai"}}, {U'伤', {"shang"}}, {U'唱', {"chang"}}, {U'歌', {"ge"}}};
};

TEST(CatalogSearchTest, FindsByTextPinyinAndInitialsRankedAndFolded)
{
    CTableText text;
    std::vector<CatalogSong> songs;
    std::int64_t id = 0;
    for (const auto& [title, singer, sung] : std::vector<std::tuple<std::u16string, std::u16string, int>> {
             {u"月亮代表我的心", u"邓丽君", 0}, {u"晴天", u"周杰伦", 0}, {u"稻香", u"周杰伦", 5}, {u"长城", u"", 0},
             {u"重逢", u"", 0}, {u"晴天 (Live)", u"周杰伦", 9}, {u"Hotel California", u"Eagles", 0},
             {u"爱", u"单依纯", 0}, {u"伤月唱歌", u"", 9}}) {
        CatalogSong song;
        song.id = ++id;
        song.title = title;
        song.singer = singer;
        song.timesSung = sung;
        song.format = id == 2 ? "vob" : id == 3 ? "mkv" : "mid";
        song.titleReadings = ComposeReadings(text.Fold(title), text);
        song.singerReadings = ComposeReadings(text.Fold(singer), text);
        songs.push_back(song);
    }
    EXPECT_EQ(songs[0].titleReadings, "yue liang dai biao wo de/di xin");
    EXPECT_EQ(songs[6].titleReadings, "hotel california");
    CCatalogIndex index(text);
    index.Build(songs);
    struct Case {
        std::u16string query;
        std::vector<std::u16string> titles; // ranked
        ESearchWhy why; // of the first
    };
    for (const Case& test :
        std::vector<Case> {{u"晴天", {u"晴天", u"晴天 (Live)"}, ESearchWhy::Text}, // exact before a more-sung prefix
            {u"稻香", {u"稻香"}, ESearchWhy::Text},
            {u"天", {u"晴天 (Live)", u"晴天"}, ESearchWhy::Text}, // substrings: more sung first
            {u"yldbwdx", {u"月亮代表我的心"}, ESearchWhy::Initials},
            {u"YLDBWDX", {u"月亮代表我的心"}, ESearchWhy::Initials},
            {u"dbwdx", {u"月亮代表我的心"}, ESearchWhy::Initials},
            {u"yueliangdaibiao", {u"月亮代表我的心"}, ESearchWhy::Pinyin},
            {u"yue liang dai biao", {u"月亮代表我的心"}, ESearchWhy::Pinyin},
            {u"woDIxin", {u"月亮代表我的心"}, ESearchWhy::Pinyin}, // the second reading of 的
            {u"鄧麗君", {u"月亮代表我的心"}, ESearchWhy::Text}, {u"dlj", {u"月亮代表我的心"}, ESearchWhy::Initials},
            {u"zhou", {u"晴天 (Live)", u"稻香", u"晴天"}, ESearchWhy::Pinyin}, // singer prefix, more sung first
            {u"changcheng", {u"长城"}, ESearchWhy::Pinyin}, {u"zhangcheng", {u"长城"}, ESearchWhy::Pinyin},
            {u"chongfeng", {u"重逢"}, ESearchWhy::Pinyin}, {u"zf", {u"重逢"}, ESearchWhy::Initials},
            {u"hotel california", {u"Hotel California"}, ESearchWhy::Text},
            {u"hc", {u"Hotel California"}, ESearchWhy::Initials}, {u"nothing", {}, ESearchWhy::Text},
            {u"yx", {}, ESearchWhy::Text},
            // A whole name in any reading ranks with the exact titles, above more-sung names that
            // only start with it.
            {u"syc", {u"爱", u"伤月唱歌"}, ESearchWhy::Initials}, {u"shanyichun", {u"爱"}, ESearchWhy::Pinyin},
            {u"单依纯", {u"爱"}, ESearchWhy::Text}}) {
        SCOPED_TRACE(Utf16ToUtf8(test.query));
        const std::vector<SearchResult> results = index.Search(test.query, {}, 10);
        std::vector<std::u16string> titles;
        for (const SearchResult& result : results)
            titles.push_back(result.song->title);
        EXPECT_EQ(titles, test.titles);
        if (!results.empty()) {
            EXPECT_EQ(results[0].match.why, test.why);
        }
    }
    EXPECT_EQ(index.Search(u"", {u"周杰伦", ""}, 10).size(), 3u);
    EXPECT_EQ(index.Search(u"", {}, 2).size(), 2u);
    EXPECT_EQ(index.Search(u"", {u"", std::string(kVideoFormats)}, 10).size(), 2u); // 晴天 and 稻香
    EXPECT_EQ(index.Search(u"", {u"", "vob"}, 10).size(), 1u);
}

TEST(CatalogNamingTest, FileNamePatterns)
{
    for (const auto& [stem, title, singer] : std::vector<std::tuple<std::u16string, std::u16string, std::u16string>> {
             {u"邓丽君 - 月亮代表我的心", u"月亮代表我的心", u"邓丽君"}, {u"晴天(周杰伦)", u"晴天", u"周杰伦"},
             {u"晴天（周杰伦）", u"晴天", u"周杰伦"}, {u"01. 稻香", u"稻香", u""},
             {u"07 - 周杰伦 - 晴天", u"晴天", u"周杰伦"}, {u"1984", u"1984", u""}, {u"100首", u"100首", u""},
             {u"(Live)", u"(Live)", u""}}) {
        const SongName name = ParseSongFileName(stem);
        EXPECT_EQ(name.title, title) << Utf16ToUtf8(stem);
        EXPECT_EQ(name.singer, singer) << Utf16ToUtf8(stem);
    }
}

TEST(CatalogScanTest, PlanFindsNewChangedMovedAndRemoved)
{
    auto stored = [](std::int64_t id, const char* path, std::uint64_t size, std::uint64_t hash) {
        CatalogSong song;
        song.id = id;
        song.path = path;
        song.size = size;
        song.modified = 7;
        song.identity = {size, hash};
        return song;
    };
    const std::vector<CatalogSong> songs {stored(1, "/s/same.mid", 10, 1), stored(2, "/s/edited.mid", 10, 2),
        stored(3, "/s/old-name.mp3", 30, 3), stored(4, "/s/gone.wav", 30, 4)};
    std::vector<std::filesystem::path> identified;
    const ScanPlan plan = PlanScan(songs,
        {{"/s/same.mid", 10, 7}, {"/s/edited.mid", 11, 7}, {"/s/new.mp3", 20, 7}, {"/s/moved/new-name.mp3", 30, 8}},
        [&identified](const std::filesystem::path& path) {
            identified.push_back(path);
            return SongIdentity {30, 3};
        });
    EXPECT_EQ(plan.unchanged, 1u);
    EXPECT_EQ(plan.added, (std::vector<SongFile> {{"/s/new.mp3", 20, 7}}));
    ASSERT_EQ(plan.changed.size(), 2u);
    EXPECT_EQ(plan.changed[0].first, 2);
    EXPECT_EQ(plan.changed[1].first, 3);
    EXPECT_EQ(plan.changed[1].second.path, "/s/moved/new-name.mp3");
    EXPECT_EQ(plan.removed, (std::vector<std::int64_t> {4}));
    // Only a new file of a vanished song's size is read for its identity.
    EXPECT_EQ(identified, (std::vector<std::filesystem::path> {"/s/moved/new-name.mp3"}));
}

// The songs that every connection the service opens shares; the reader finds nothing in a file
// (its name names the song) and takes its time over it.
struct StoredCatalogue {
    std::filesystem::path folder;
    std::vector<CatalogSong> songs;
    std::atomic<size_t> reads = 0;
    std::chrono::milliseconds readTime {0};
};
class CMemoryCatalogue final : public ICatalogStore, public ISongReader {
public:
    explicit CMemoryCatalogue(StoredCatalogue& stored)
        : m_stored(stored)
    {
    }
    std::vector<std::filesystem::path> Folders() override { return {m_stored.folder}; }
    void AddFolder(const std::filesystem::path&) override { }
    void RemoveFolder(const std::filesystem::path&) override { }
    std::vector<CatalogSong> LoadSongs() override { return m_stored.songs; }
    std::vector<SongFile> LoadUnreadable() override { return {}; }
    void Apply(CatalogChanges& changes) override
    {
        for (CatalogSong& song : changes.added)
            m_stored.songs.emplace_back(song).id = static_cast<std::int64_t>(m_stored.songs.size());
    }
    void CountSung(std::int64_t) override { }
    std::optional<SongDetails> Read(const std::filesystem::path&) override
    {
        ++m_stored.reads;
        std::this_thread::sleep_for(m_stored.readTime);
        return SongDetails {};
    }

private:
    StoredCatalogue& m_stored;
};

TEST(CatalogServiceTest, LoadsRescansCountsPlaysAndCancelsTheScanWhenDestroyed)
{
    test::CTemporaryFolder folder;
    CTableText text;
    const test::CLatin1CodePage codePage;
    const CPathDisplay names(codePage, NoEncodingDetection());
    StoredCatalogue stored {folder.Path(), {}};
    CUiTaskQueue uiThread;
    const auto open = [&stored] { return std::make_unique<CMemoryCatalogue>(stored); };
    auto service = std::make_unique<CCatalogService>(CatalogServiceParts {open, open, text, text, names, uiThread});
    struct : ICatalogListener {
        void IndexChanged(const std::shared_ptr<const CCatalogIndex>& index) override { indexes.push_back(index); }
        void CatalogueLoaded(const CatalogueLoad& load) override { loads.push_back(load); }
        std::vector<std::shared_ptr<const CCatalogIndex>> indexes;
        std::vector<CatalogueLoad> loads;
    } listener;
    service->AddListener(listener);
    const auto load = [&](bool rescan) {
        EXPECT_TRUE(service->Refresh(rescan));
        EXPECT_FALSE(service->Refresh(true)); // one load at a time
        for (int turn = 0; turn < 1000 && service->IsBusy(); ++turn) {
            uiThread.WaitForTask(std::chrono::milliseconds(10));
            uiThread.RunPending(); // the listener is told here alone
        }
        return listener.loads.empty() ? CatalogueLoad {} : listener.loads.back();
    };
    folder.WriteFile("晴天.mid", "MThd");
    folder.WriteFile("稻香.mid", "MThd!");
    EXPECT_EQ(load(false).report.songs, 0u);
    const CatalogueLoad rescan = load(true);
    EXPECT_TRUE(rescan.scanned && rescan.error.empty());
    EXPECT_EQ(rescan.report.added, 2u);
    ASSERT_EQ(listener.indexes.size(), 2u);
    ASSERT_EQ(listener.indexes.back()->Size(), 2u);

    // A counted play publishes a new index that ranks it first; the index in use stays as it was.
    const std::shared_ptr<const CCatalogIndex> before = service->Index();
    const std::int64_t sung = before->Search(u"稻香", {}, 1).at(0).song->id;
    service->CountSung(sung);
    EXPECT_EQ(before->TimesSung(sung), 0);
    EXPECT_EQ(listener.indexes.back(), service->Index());
    EXPECT_EQ(service->Index()->Search(u"", {}, 2).at(0).song->id, sung);

    // Destroyed while it scans slowly, the service cancels the scan instead of reading on.
    for (int i = 0; i < 100; ++i)
        folder.WriteFile(std::to_string(i) + ".mid", "MThd" + std::to_string(i));
    stored.reads = 0;
    stored.readTime = std::chrono::milliseconds(5);
    ASSERT_TRUE(service->Refresh(true));
    for (int waited = 0; waited < 5000 && stored.reads == 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    service.reset();
    EXPECT_LT(stored.reads, 100u);
    uiThread.RunPending(); // what the worker posted meets no service
    EXPECT_EQ(listener.loads.size(), 2u);
}

// Plays of earlier files (without a name) are read as they were; a damaged line is skipped; a file
// that cannot be read is not replaced by the next play.
TEST(PendingCountsTest, EarlierLinesAreReadDamagedOnesSkippedAndAnUnreadFileKept)
{
    test::CTemporaryFolder folder;
    test::CGrantedFileLocks locks;
    CPendingCounts pending(folder.Path() / "VenueCounts.txt", locks);
    folder.WriteFile("VenueCounts.txt", "7\n8 87\n9 #5eed\n9 #5EED\n0\nx 1\n9 101\n9 #\n10");
    EXPECT_EQ(pending.Pending(), (std::vector<PendingPlay> {{7, {}, {}}, {8, 87, {}}, {9, {}, "5eed"}, {10, {}, {}}}));
    const std::string tooLarge(16 * 1024 * 1024 + 1, '7');
    folder.WriteFile("VenueCounts.txt", tooLarge);
    EXPECT_FALSE(pending.Add(7));
    EXPECT_EQ(std::filesystem::file_size(folder.Path() / "VenueCounts.txt"), tooLarge.size());
}

} // namespace
} // namespace linlangok
