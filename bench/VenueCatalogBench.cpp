// A venue's catalogue on PostgreSQL, on a private server the benchmark starts as the venue tests do,
// but syncing each commit to disk: songs stored per second through the store as a scan stores them
// (batches of 1,000), a room's load (fetch, then index) and its search times, how long a change made
// by one room takes to reach another room's index, how long a started song takes to be found in the
// index for its best score, how long a room takes to quit while its server hangs, and the time of a
// play counted while 50 rooms count at once, and while they search and count. Then the same store and load with
// 1,000,000 songs. Arguments: the songs (100000), the songs of the large library (1000000; 0 skips it), the rooms (50).

#include "BenchSupport.h"
#include "SilentServer.h"
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/catalog/CatalogService.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/PostgresCatalogStore.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "tests/support/PrivatePostgresServer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace linlangok::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr const char* kTitles[] = {"月亮代表我的心", "甜蜜蜜", "小城故事", "晴天", "稻香", "七里香", "青花瓷", "夜曲",
    "后来", "十年", "浮夸", "红豆", "传奇", "童话", "小幸运", "演员", "光年之外", "泡沫", "海阔天空", "光辉岁月",
    "吻别", "朋友", "江南", "倔强", "平凡之路", "成都", "南山南", "父亲", "小苹果", "最炫民族风", "菊花台", "蓝莲花",
    "千本桜", "Lemon", "夜に駆ける", "Hotel California", "Yesterday", "Let It Be", "Hello", "Shape of You"};
constexpr const char* kSingers[]
    = {"邓丽君", "周杰伦", "刘若英", "陈奕迅", "王菲", "光良", "田馥甄", "薛之谦", "邓紫棋", "Beyond", "张学友",
        "周华健", "林俊杰", "五月天", "朴树", "赵雷", "筷子兄弟", "凤凰传奇", "许巍", "米津玄師", "Adele"};
constexpr const char* kVersions[] = {"", " (Live)", " (伴奏)", " (DJ版)", " (原版)", " (演唱会)", " 2"};

// Songs as a scan describes them, their readings composed once per title and singer.
class CSongMaker {
public:
    explicit CSongMaker(CIcuTextReadings& readings)
    {
        for (const char* singer : kSingers)
            m_singers.push_back(Describe(singer, readings));
        for (const char* title : kTitles)
            for (const char* version : kVersions)
                m_titles.push_back(Describe(std::string(title) + version, readings));
    }

    CatalogSong Make(size_t i)
    {
        const auto& [title, titleReadings] = m_titles[m_random() % m_titles.size()];
        const auto& [singer, singerReadings] = m_singers[m_random() % m_singers.size()];
        CatalogSong song;
        song.path = "/mnt/ktv/songs/" + std::to_string(i / 1000) + "/" + std::to_string(i) + ".mp3";
        song.title = title + u" " + Utf8ToUtf16(std::to_string(i % 977));
        song.titleReadings = titleReadings + " " + std::to_string(i % 977);
        song.singer = singer;
        song.singerReadings = singerReadings;
        song.format = "mp3";
        song.lengthMilliseconds = 200000;
        song.language = "zh";
        song.size = 4000000 + i;
        song.modified = static_cast<std::int64_t>(i);
        song.identity = {song.size, i * 2654435761u};
        return song;
    }

    // Queries as typed: initials, two characters, a syllable's pinyin, one initial.
    std::vector<std::u16string> Queries(size_t count)
    {
        std::vector<std::u16string> queries;
        for (size_t i = 0; i < count; ++i) {
            const auto& [title, readings] = m_titles[m_random() % m_titles.size()];
            queries.push_back(TypedQuery(title, readings, i));
        }
        return queries;
    }

private:
    static std::pair<std::u16string, std::string> Describe(const std::string& text, CIcuTextReadings& readings)
    {
        const std::u16string utf16 = Utf8ToUtf16(text);
        return {utf16, ComposeReadings(readings.Fold(utf16), readings)};
    }

    std::vector<std::pair<std::u16string, std::string>> m_titles;
    std::vector<std::pair<std::u16string, std::string>> m_singers;
    std::mt19937 m_random {2024};
};

// Stores the songs in batches of 1,000; the songs per second.
double Store(const std::string& connection, CSongMaker& maker, size_t count)
{
    CPostgresCatalogStore store(connection);
    const Clock::time_point start = Clock::now();
    for (size_t first = 0; first < count; first += 1000) {
        CatalogChanges batch;
        for (size_t i = first; i < std::min(count, first + 1000); ++i)
            batch.added.push_back(maker.Make(i));
        store.Apply(batch);
    }
    return static_cast<double>(count) / Seconds(start);
}

// A room's load: connect and fetch, then build the index.
std::shared_ptr<CCatalogIndex> Load(const std::string& connection, ITextFolding& folding, const char* what)
{
    Clock::time_point start = Clock::now();
    CPostgresCatalogStore store(connection);
    std::vector<CatalogSong> songs = store.LoadSongs();
    const double fetched = Seconds(start);
    start = Clock::now();
    auto index = std::make_shared<CCatalogIndex>(folding);
    const size_t count = songs.size();
    index->Build(std::move(songs), store.LoadedRevision());
    const double built = Seconds(start);
    std::printf(
        "%s: %zu songs loaded in %.2f s (fetch %.2f s, index %.2f s)\n", what, count, fetched + built, fetched, built);
    return index;
}

void Search(const CCatalogIndex& index, const std::vector<std::u16string>& queries)
{
    std::vector<double> times;
    for (const std::u16string& query : queries) {
        const Clock::time_point at = Clock::now();
        index.Search(query, {}, 200);
        times.push_back(Seconds(at) * 1000);
    }
    std::printf("search (limit 200): p50 %.2f ms, p95 %.2f ms, max %.2f ms\n", Percentile(times, 0.5),
        Percentile(times, 0.95), Percentile(times, 1.0));
}

// A song started: its song in the index, by the file's identity, for the venue's best score.
void FindStarted(const CCatalogIndex& index)
{
    std::mt19937 random(5);
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        const SongIdentity identity = index.Songs()[random() % index.Songs().size()].identity;
        const Clock::time_point at = Clock::now();
        if (!index.FindByIdentity(identity))
            std::abort();
        times.push_back(Seconds(at) * 1000);
    }
    std::printf("a started song found by its identity: p50 %.2f ms, max %.2f ms\n", Percentile(times, 0.5),
        Percentile(times, 1.0));
}

// One room's service follows; another room stores a song, then counts a play of it. Each time:
// from the commit until the song is in the following room's index, and until the count is.
void Follow(const std::string& connection, CSongMaker& maker, CIcuTextReadings& readings, size_t first)
{
    const auto codePage = CreateLegacyCodePage();
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CUiTaskQueue uiThread;
    const auto connect
        = [connection](std::stop_token stop = {}) { return std::make_unique<CPostgresCatalogStore>(connection, stop); };
    CCatalogService room(
        CatalogServiceParts {connect, {}, readings, readings, names, uiThread, {connect, "/dev/null", nullptr}});
    room.Refresh(false);
    while (!room.Index() || room.IsBusy()) {
        uiThread.WaitForTask(std::chrono::milliseconds(50));
        uiThread.RunPending();
    }
    CPostgresCatalogStore other(connection);
    std::vector<double> songTimes;
    std::vector<double> countTimes;
    for (size_t i = 0; i < 20; ++i) {
        CatalogChanges changes;
        changes.added.push_back(maker.Make(first + i));
        Clock::time_point start = Clock::now();
        other.Apply(changes);
        const std::int64_t id = changes.added[0].id;
        const auto waitFor = [&](auto condition) {
            while (!condition() && Seconds(start) < 10) {
                uiThread.WaitForTask(std::chrono::milliseconds(5));
                uiThread.RunPending();
            }
            return Seconds(start) * 1000;
        };
        songTimes.push_back(waitFor([&] { return room.Index()->Find(id) != nullptr; }));
        start = Clock::now();
        other.CountSung(id);
        countTimes.push_back(waitFor([&] { return room.Index()->TimesSung(id) == 1; }));
    }
    std::printf("another room's song in this room's index: p50 %.0f ms, max %.0f ms; its play counted: p50 %.0f ms, "
                "max %.0f ms\n",
        Percentile(songTimes, 0.5), Percentile(songTimes, 1.0), Percentile(countTimes, 0.5),
        Percentile(countTimes, 1.0));
}

// A room quits while its server takes the connection and never answers: how long the catalogue
// service takes to end, its follower and loader connecting meanwhile.
void QuitWhileTheServerHangs(CIcuTextReadings& readings)
{
    const CSilentServer silent;
    const std::string connection = "host=127.0.0.1 dbname=venue port=" + std::to_string(silent.Port());
    const auto codePage = CreateLegacyCodePage();
    const CPathDisplay names(*codePage, NoEncodingDetection());
    CUiTaskQueue uiThread;
    const auto connect
        = [connection](std::stop_token stop = {}) { return std::make_unique<CPostgresCatalogStore>(connection, stop); };
    std::vector<double> times;
    for (int quit = 0; quit < 10; ++quit) {
        auto room = std::make_unique<CCatalogService>(
            CatalogServiceParts {connect, {}, readings, readings, names, uiThread, {connect, "/dev/null", nullptr}});
        room->Refresh(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Clock::time_point at = Clock::now();
        room.reset();
        times.push_back(Seconds(at) * 1000);
    }
    std::printf("a room quitting while its server hangs: p50 %.0f ms, max %.0f ms\n", Percentile(times, 0.5),
        Percentile(times, 1.0));
}

// Every room on a connection of its own counting plays, a count after each search when searching;
// the time of each count. The rooms' searches share this machine's cores with the server, which a
// venue's rooms, each on its own machine, do not: without them, the figure is the server's.
void Rooms(const std::string& connection, const CCatalogIndex& index, const std::vector<std::u16string>& queries,
    int rooms, bool searching)
{
    std::vector<std::vector<double>> times(static_cast<size_t>(rooms));
    std::vector<std::thread> threads;
    std::atomic<int> ready = 0;
    const Clock::time_point start = Clock::now();
    for (int room = 0; room < rooms; ++room)
        threads.emplace_back([&, room] {
            CPostgresCatalogStore store(connection);
            std::mt19937 random(static_cast<unsigned>(room));
            ++ready;
            while (ready < rooms)
                std::this_thread::yield();
            for (int i = 0; i < 200; ++i) {
                if (searching)
                    index.Search(queries[random() % queries.size()], {}, 200);
                const std::int64_t id = index.Songs()[random() % index.Songs().size()].id;
                const Clock::time_point at = Clock::now();
                store.CountSung(id);
                times[static_cast<size_t>(room)].push_back(Seconds(at) * 1000);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::vector<double> all;
    for (const std::vector<double>& room : times)
        all.insert(all.end(), room.begin(), room.end());
    std::printf("%d rooms %s (%zu counts, %.0f a second): count p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", rooms,
        searching ? "searching and counting" : "counting", all.size(), static_cast<double>(all.size()) / Seconds(start),
        Percentile(all, 0.5), Percentile(all, 0.99), Percentile(all, 1.0));
}

} // namespace
} // namespace linlangok::bench

int main(int argc, char** argv)
{
    using namespace linlangok;
    using namespace linlangok::bench;
    const size_t songs = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const size_t large = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
    const int rooms = argc > 3 ? std::atoi(argv[3]) : 50;
    test::CPrivatePostgresServer server(true);
    if (!server.Missing().empty()) {
        std::printf("no PostgreSQL server: %s\n", server.Missing().c_str());
        return 0;
    }
    CIcuTextReadings readings;
    CSongMaker maker(readings);
    const std::string venue = server.CreateDatabase("venue");
    std::printf("store %zu songs: %.0f songs a second\n", songs, Store(venue, maker, songs));
    const std::shared_ptr<CCatalogIndex> index = Load(venue, readings, "room load");
    const std::vector<std::u16string> queries = maker.Queries(400);
    Search(*index, queries);
    FindStarted(*index);
    Follow(venue, maker, readings, songs);
    QuitWhileTheServerHangs(readings);
    Rooms(venue, *index, queries, rooms, false);
    Rooms(venue, *index, queries, rooms, true);
    if (large > 0) {
        const std::string big = server.CreateDatabase("large");
        std::printf("store %zu songs: %.0f songs a second\n", large, Store(big, maker, large));
        Search(*Load(big, readings, "room load"), queries);
    }
    return 0;
}
