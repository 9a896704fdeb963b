#include "core/catalog/SongQueue.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

namespace linlangok {
namespace {

QueueEntry Pick(std::u16string performer, std::int64_t song)
{
    return {song, "/songs/" + std::to_string(song) + ".mp3", u"歌", u"", std::move(performer), false, 0, {}, {}};
}

// Nobody sings twice while another performer waits: along the current song and the queue, each
// performer's n-th song lies in round n, and rounds never go down; each performer's songs keep
// the order they were picked in.
void ExpectFairRotation(const CSongQueue& queue)
{
    std::vector<QueueEntry> order;
    if (queue.Current())
        order.push_back(*queue.Current());
    order.insert(order.end(), queue.Entries().begin(), queue.Entries().end());
    std::map<std::u16string, size_t> rounds;
    std::map<std::u16string, std::int64_t> lastSong;
    size_t round = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t own = rounds[order[i].performer]++;
        if (i > 0 || !queue.Current()) {
            ASSERT_GE(own, round) << "position " << i;
            round = own;
        }
        ASSERT_LT(lastSong[order[i].performer], order[i].songId);
        lastSong[order[i].performer] = order[i].songId;
    }
}

TEST(SongQueueTest, RandomPicksRemovalsAndTurnsKeepTheRotationFair)
{
    std::mt19937 random(19);
    const std::vector<std::u16string> performers {u"小王", u"小李", u"阿May", u""};
    for (int run = 0; run < 200; ++run) {
        CSongQueue queue;
        std::int64_t song = 0;
        for (int step = 0; step < 40; ++step) {
            const unsigned action = random() % 10;
            if (action < 6)
                queue.Add(Pick(performers[random() % performers.size()], ++song));
            else if (action < 8 && !queue.Entries().empty())
                queue.Remove(random() % queue.Entries().size());
            else
                queue.Next();
            ExpectFairRotation(queue);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(SongQueueTest, RoundsAndHandPlacedSongs)
{
    CSongQueue queue;
    for (const auto& [performer, song] : std::vector<std::pair<std::u16string, std::int64_t>> {
             {u"A", 1}, {u"A", 2}, {u"A", 3}, {u"B", 4}, {u"C", 5}, {u"B", 6}})
        queue.Add(Pick(performer, song));
    auto songs = [&queue]() {
        std::vector<std::int64_t> ids;
        for (const QueueEntry& entry : queue.Entries())
            ids.push_back(entry.songId);
        return ids;
    };
    EXPECT_EQ(songs(), (std::vector<std::int64_t> {1, 4, 5, 2, 6, 3}));
    EXPECT_EQ(queue.Next()->songId, 1);
    queue.Add(Pick(u"A", 7)); // A sings now: after B's and C's waiting first songs and A's second
    EXPECT_EQ(songs(), (std::vector<std::int64_t> {4, 5, 2, 6, 3, 7}));
    queue.Prioritize(4); // 优先 stays on top through later picks and removals
    queue.Remove(1);
    queue.Add(Pick(u"C", 8));
    EXPECT_EQ(songs(), (std::vector<std::int64_t> {3, 5, 6, 8, 2, 7}));
}

TEST(SongQueueTest, SavedQueueReadsBackAndADamagedFileIsSetAside)
{
    test::CTemporaryFolder folder;
    const std::filesystem::path file = folder.Path() / "SongQueue.txt";
    CSongQueue queue;
    queue.Add(Pick(u"小王\t", 1));
    queue.Add(Pick(u"", 2));
    queue.Add(Pick(u"小李", 3));
    // Names whose bytes are not UTF-8 (GBK) or that hold a line end keep their bytes.
    const std::vector<std::filesystem::path> oddPaths {"/songs/\xD6\xD0\xCE\xC4.mid", "/songs/a\nb\t.mp3"};
    for (const std::filesystem::path& path : oddPaths)
        queue.Add({4, path, u"歌", u"", u"", false, 0, {}, {}});
    queue.Next();
    queue.Move(1, 0);
    ASSERT_TRUE(SaveSongQueue(file, queue));
    std::u16string warning;
    std::string fileText;
    const CSongQueue loaded = LoadSongQueue(file, warning, fileText);
    EXPECT_EQ(warning, u"");
    EXPECT_EQ(loaded.Serialize(), queue.Serialize());
    EXPECT_EQ(loaded.Current()->performer, u"小王 ");
    EXPECT_TRUE(loaded.Entries()[0].placedByHand);
    EXPECT_EQ(loaded.Entries().back().path, oddPaths[1]);
    EXPECT_EQ(loaded.Entries().at(2).path, oddPaths[0]);

    // Each damaged file is kept, none replacing an earlier one.
    const std::string damaged[] = {"LinlangOK queue 1\nQ\t1\t\t\t\t/a.mp3", "LinlangOK queue 1\nQ\tx\t\t\t\t/a\n",
        "LinlangOK queue 1\nQ\t1\t\t\t\n", "other\n"};
    for (const std::string& text : damaged) {
        std::ofstream(file, std::ios::binary) << text;
        EXPECT_TRUE(LoadSongQueue(file, warning, fileText).Entries().empty());
        EXPECT_NE(warning, u"");
        EXPECT_FALSE(std::filesystem::exists(file));
    }
    for (size_t i = 0; i < std::size(damaged); ++i) {
        std::ifstream aside(
            folder.Path() / ("SongQueue.txt.damaged" + (i ? "-" + std::to_string(i + 1) : "")), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), damaged[i]);
    }
}

} // namespace
} // namespace linlangok
