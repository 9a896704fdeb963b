// A venue's rooms on one PostgreSQL catalogue, against a private server of the test's own.
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/catalog/CatalogCache.h"
#include "core/catalog/CatalogService.h"
#include "core/catalog/RoomCatalogStore.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/CatalogSelection.h"
#include "platform/database/PostgresCatalogStore.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/PrivatePostgresServer.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace linlangok {
namespace {

// Runs the body in a child process (another room); true when it returned true there.
template <typename Body> bool InChild(Body body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body() ? 0 : 1);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class VenueCatalogTest : public testing::Test {
protected:
    static void SetUpTestSuite() { s_server = new test::CPrivatePostgresServer(); }
    static void TearDownTestSuite() { delete s_server; }

    void SetUp() override
    {
        if (!s_server->Missing().empty())
            GTEST_SKIP() << "no PostgreSQL server for the venue tests: " << s_server->Missing();
        ASSERT_TRUE(s_server->Start());
        m_database = "venue" + std::to_string(++s_databases);
        m_connection = s_server->CreateDatabase(m_database);
    }

    CatalogSong Song(const std::string& path, const std::u16string& title)
    {
        CatalogSong song;
        song.path = path;
        song.title = title;
        song.format = "mid";
        song.size = path.size();
        song.identity.size = song.size;
        song.titleReadings = ComposeReadings(m_readings.Fold(title), m_readings);
        return song;
    }
    // Another room's scan of one song: its id.
    std::int64_t Add(const std::string& path, const std::u16string& title)
    {
        CatalogChanges changes;
        changes.added = {Song(path, title)};
        CPostgresCatalogStore(m_connection).Apply(changes);
        return changes.added[0].id;
    }

    static inline test::CPrivatePostgresServer* s_server = nullptr;
    static inline int s_databases = 0;
    std::string m_database;
    std::string m_connection;
    CIcuTextReadings m_readings;
};

TEST_F(VenueCatalogTest, StoreKeepsWhatIsWrittenAndNumbersTheChanges)
{
    CPostgresCatalogStore store(m_connection);
    const std::filesystem::path folder = "/mnt/songs/\xB8\xE8"; // a GBK name: bytes, not UTF-8
    store.AddFolder(folder);
    store.AddFolder(folder);
    store.AddFolder(folder / "inner");
    EXPECT_EQ(store.Folders(), (std::vector<std::filesystem::path> {folder, folder / "inner"}));

    CatalogChanges changes;
    changes.added
        = {Song(folder / "a.mid", u"月亮代表我的心"), Song(folder / "inner/b.mid", std::u16string(u"甜蜜\0蜜", 4))};
    changes.added[0].cover = folder / "a.jpg";
    changes.added[0].identity.hash = 0xFEDCBA9876543210;
    changes.unreadable = {{folder / "bad.mp3", 7, -3}};
    store.Apply(changes);
    std::vector<CatalogSong> loaded = store.LoadSongs();
    const std::int64_t first = store.LoadedRevision();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0], changes.added[0]);
    EXPECT_EQ(loaded[1].title, u"甜蜜蜜"); // a text column holds no NUL
    EXPECT_EQ(store.LoadUnreadable(), changes.unreadable);

    store.CountPlay(loaded[0].id, "5eed"); // sent again when its answer was lost: counted once
    store.CountPlay(loaded[0].id, "5eed");
    changes = {};
    changes.changed = {loaded[1]};
    changes.changed[0].title = u"甜蜜蜜 (Live)";
    store.Apply(changes);
    CatalogDelta delta = store.ChangesSince(first);
    EXPECT_EQ(delta.revision, first + 1);
    ASSERT_EQ(delta.songs.size(), 1u);
    EXPECT_EQ(delta.songs[0].title, u"甜蜜蜜 (Live)");
    EXPECT_EQ(store.LoadCounts(), (std::vector<SongCount> {{loaded[0].id, 1}}));

    // Every change or none: a song moved onto another's path fails the whole batch, the new song too.
    changes = {};
    changes.added = {Song("/elsewhere/c.mid", u"小城故事")};
    changes.changed = {loaded[0]};
    changes.changed[0].path = loaded[1].path;
    EXPECT_THROW(store.Apply(changes), std::runtime_error);
    EXPECT_EQ(store.LoadSongs().size(), 2u);
    EXPECT_EQ(store.LoadedRevision(), first + 1);

    // The songs under the inner folder stay; the others go, and say so to whoever follows.
    store.RemoveFolder(folder);
    EXPECT_EQ(store.ChangesSince(first + 1).removed, (std::vector<std::int64_t> {loaded[0].id}));
    EXPECT_TRUE(store.LoadUnreadable().empty());
    EXPECT_EQ(store.Folders(), (std::vector<std::filesystem::path> {folder / "inner"}));
    EXPECT_EQ(CPostgresCatalogStore(m_connection).LoadSongs().size(), 1u);

    // The tables of a later version are refused, and left as they are.
    ASSERT_TRUE(s_server->RunSql(m_database, "UPDATE linlangok_schema SET version = 99"));
    try {
        CPostgresCatalogStore refused(m_connection);
        ADD_FAILURE() << "a catalogue of version 99 was opened";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("99"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(s_server->RunSql(m_database, "SELECT 1 / (count(*) = 1)::int FROM songs")); // fails but for one song
}

// Two rooms (processes) of four connections each, on tables of the first version that the first
// to open migrates: 125 plays a connection, and scores in an order of its own; the best stays.
TEST_F(VenueCatalogTest, PlaysAndScoresOfTwoRoomsAtOnceAddUpAndKeepTheBest)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer does not start threads in a process forked from one with threads";
#endif
    const std::int64_t id = Add("/s/a.mid", u"小城故事");
    ASSERT_TRUE(s_server->RunSql(m_database,
        "ALTER TABLE songs DROP COLUMN best_score; DROP TABLE counted_plays; UPDATE linlangok_schema SET version = 1"));
    const auto room = [this, id](int seed) {
        return [this, id, seed] {
            std::vector<std::jthread> connections;
            for (int connection = 0; connection < 4; ++connection)
                connections.emplace_back([&, connection] {
                    CPostgresCatalogStore store(m_connection);
                    for (int play = 0; play < 125; ++play) {
                        store.CountSung(id); // an error ends the process, by std::terminate
                        if (play % 4 == 0)
                            store.KeepBestScore(id, (play * 37 + seed * 11 + connection * 5) % 60 + seed);
                    }
                });
            return true;
        };
    };
    std::jthread other([&] { EXPECT_TRUE(InChild(room(30))); });
    EXPECT_TRUE(InChild(room(0)));
    other.join();
    EXPECT_EQ(CPostgresCatalogStore(m_connection).LoadCounts(), (std::vector<SongCount> {{id, 1000, 89}}));
}

// A room as the program runs one, the catalogue service following the shared catalogue, while
// another room (a second process) scans and counts; then the server goes away and comes back.
TEST_F(VenueCatalogTest, RoomsFollowEachOtherAndKeepSearchingWhileTheServerIsAway)
{
    test::CTemporaryFolder folder;
    Add("/s/1.mid", u"小城故事");
    // The server trusts the test's connections: the password is there to be hidden.
    const auto connect = [this](std::stop_token stop = {}) {
        return std::make_unique<CPostgresCatalogStore>(m_connection + " password=s3cret", stop);
    };
    const auto codePage = CreateLegacyCodePage();
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CUiTaskQueue uiThread;
    test::CGrantedFileLocks locks;
    CPendingCounts pending(folder.Path() / kPendingCountsFileName, locks);
    CCatalogService room(CatalogServiceParts {connect, {}, m_readings, m_readings, names, uiThread,
        {connect, folder.Path() / kCatalogCacheFileName, &pending}});
    CRoomCatalogStore roomStore(connect, pending);
    const auto runUntil = [&](auto condition) {
        for (int waits = 0; waits < 600 && !condition(); ++waits) {
            uiThread.WaitForTask(std::chrono::milliseconds(50));
            uiThread.RunPending();
        }
        return condition();
    };
    const auto finds
        = [&](const std::u16string& query) { return room.Index() && !room.Index()->Search(query, {}, 1).empty(); };
    const auto sing = [&](std::int64_t id) { // as the song picker counts a play
        roomStore.CountSung(id);
        room.CountSung(id);
    };
    room.Refresh(false);
    ASSERT_TRUE(runUntil([&] { return finds(u"xcgs"); }));

    // A song the other room scans is found here by its initials; a play counted here is sent.
    const std::int64_t sweet = Add("/s/2.mid", u"甜蜜蜜");
    EXPECT_TRUE(runUntil([&] { return finds(u"tmm"); }));
    sing(sweet);
    EXPECT_TRUE(runUntil([&] { return pending.Pending().empty(); }));

    // The server goes away: the room says so, searches on and keeps what it counts, in its file too.
    ASSERT_TRUE(s_server->Stop());
    // Told why, the connection named without its password.
    EXPECT_TRUE(runUntil([&] { return Utf16ToUtf8(room.OfflineReason()).find("password=***") != std::string::npos; }));
    EXPECT_EQ(Utf16ToUtf8(room.OfflineReason()).find("s3cret"), std::string::npos);
    EXPECT_TRUE(finds(u"甜蜜蜜"));
    sing(sweet);
    roomStore.KeepBestScore(sweet, 87); // as the scoring keeps a score
    room.KeepBestScore(sweet, 87);
    sing(sweet);
    EXPECT_EQ(room.Index()->TimesSung(sweet), 3);
    EXPECT_EQ(room.Index()->BestScore(sweet), 87);
    // Each play by a name of its own, to be counted once however often it is sent.
    const std::vector<PendingPlay> kept = CPendingCounts(folder.Path() / kPendingCountsFileName, locks).Pending();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[1], (PendingPlay {sweet, 87, {}}));
    EXPECT_EQ(kept[0].play.size(), 32u);
    EXPECT_NE(kept[0].play, kept[2].play);
    const std::optional<CatalogSnapshot> cached = LoadCatalogCache(folder.Path() / kCatalogCacheFileName);
    ASSERT_TRUE(cached);
    EXPECT_FALSE(cached->songs.empty());

    // Back: the counts are sent, and what the other room scanned since is found.
    ASSERT_TRUE(s_server->Start());
    Add("/s/3.mid", u"我只在乎你");
    EXPECT_TRUE(runUntil([&] { return !room.IsOffline() && finds(u"wzzhn") && pending.Pending().empty(); }));
    EXPECT_EQ(CPostgresCatalogStore(m_connection).LoadCounts(), (std::vector<SongCount> {{sweet, 3, 87}}));
    // The other room's plays and a better score reach this one; a worse score does not lower it.
    ASSERT_TRUE(InChild([&] {
        CPostgresCatalogStore store(m_connection);
        for (int play = 0; play < 5; ++play)
            store.CountSung(sweet);
        store.KeepBestScore(sweet, 93);
        store.KeepBestScore(sweet, 40);
        return true;
    }));
    EXPECT_TRUE(runUntil([&] { return room.Index()->TimesSung(sweet) == 8 && room.Index()->BestScore(sweet) == 93; }));
}

// The tool as a room: LINLANGOK_CATALOG selects the venue's catalogue for the scan, the search and
// the queue's plays.
TEST_F(VenueCatalogTest, ToolScansAndSearchesTheVenueCatalogue)
{
    test::CTemporaryFolder folder;
    std::filesystem::create_directories(folder.Path() / "songs");
    std::filesystem::copy_file(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid", folder.Path() / "songs/茉莉花.mid");
    const auto run = [&](const std::string& home, const std::string& arguments) {
        std::filesystem::create_directories(folder.Path() / home);
        const int status = std::system(("cd '" + folder.Path().string() + "' && LINLANGOK_HOME=" + home
            + " LINLANGOK_CATALOG='" + m_connection + "' '" LINLANGOK_TOOL "' " + arguments + " > out.txt 2>&1")
                                           .c_str());
        return std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadWholeFile(folder.Path() / "out.txt"));
    };
    EXPECT_EQ(run("scanner", "catalog add songs").first, 0);
    const auto [found, output] = run("room", "catalog search mlh");
    EXPECT_EQ(found, 0);
    EXPECT_NE(output.find("茉莉花"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "room" / kCatalogFileName));

    // The room's plays reach the server; while it is away, the queue goes on and they wait.
    for (const char* arguments : {"queue add mlh", "queue add mlh", "queue next"})
        EXPECT_EQ(run("room", arguments).first, 0);
    ASSERT_TRUE(s_server->Stop());
    const auto [away, warning] = run("room", "queue next");
    EXPECT_EQ(away, 0);
    EXPECT_NE(warning.find("歌库离线"), std::string::npos) << warning;
    ASSERT_TRUE(s_server->Start());
    EXPECT_EQ(run("room", "queue next").first, 0);
    EXPECT_EQ(CPostgresCatalogStore(m_connection).LoadCounts().at(0).timesSung, 2);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "room" / kPendingCountsFileName));
}

// What a start makes of the connection 歌库 remembered: LINLANGOK_CATALOG comes first.
TEST(CatalogConnectionTest, TheVariableWinsOverTheConnectionRemembered)
{
    const std::string kept = "host=db.venue dbname=songs";
    test::CTemporaryFolder folder;
    unsetenv("LINLANGOK_CATALOG");
    EXPECT_TRUE(CCatalogSelection(folder.Path(), kept).IsShared());
    EXPECT_FALSE(CCatalogSelection(folder.Path(), "").IsShared());
    EXPECT_THROW(CCatalogSelection(folder.Path(), "Catalog.db"), std::runtime_error);
    setenv("LINLANGOK_CATALOG", kept.c_str(), 1);
    EXPECT_NO_THROW(CCatalogSelection(folder.Path(), "Catalog.db"));
    unsetenv("LINLANGOK_CATALOG");
}

} // namespace
} // namespace linlangok
