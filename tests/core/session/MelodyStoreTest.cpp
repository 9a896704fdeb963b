#include "core/session/MelodyStore.h"
#include "common/UiTaskQueue.h"
#include "core/session/VideoMelodyQueue.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace linlangok {
namespace {

KeptMelody SomeMelody()
{
    KeptMelody kept {{VocalLayout::EPlace::Track, 1}, {EVocalMelodyVerdict::Melody, {EMelodySource::Video, {}, {}}}};
    for (int index = 0; index < 10; ++index) {
        const double start = index * 0.5 + (index >= 5 ? 2 : 0);
        kept.result.melody.notes.push_back({start, start + 0.25, 60.25 + index});
    }
    kept.result.melody.lines = MelodyLines(kept.result.melody.notes);
    return kept;
}

TEST(MelodyStoreTest, AMelodyAndAVerdictComeBackAsKept)
{
    const test::CTemporaryFolder folder;
    const CMelodyStore store(folder.Path() / "Melodies");
    const SongIdentity song {1234, 0xABCDEF0123456789};
    EXPECT_FALSE(store.Recall(song));
    ASSERT_TRUE(store.Keep(song, SomeMelody()));
    EXPECT_EQ(store.FileOf(song).filename(), "1234-abcdef0123456789.txt");
    EXPECT_EQ(store.Recall(song), SomeMelody());
    EXPECT_EQ(store.Recall(song)->result.melody.lines.size(), 2u);

    const KeptMelody verdict {{}, {EVocalMelodyVerdict::NotSameMix, {EMelodySource::Video, {}, {}}}};
    ASSERT_TRUE(store.Keep(song, verdict));
    EXPECT_EQ(store.Recall(song), verdict);
    EXPECT_FALSE(store.Keep(song, {{}, {EVocalMelodyVerdict::Unreadable, {}}}));
    EXPECT_EQ(store.Recall(song), verdict);
}

TEST(MelodyStoreTest, ADamagedFileIsIgnored)
{
    const std::string good = SerializeKeptMelody(SomeMelody());
    const std::string damaged[] = {
        "",
        good.substr(0, good.size() - 1), // cut off
        "linlangok-melody 2" + good.substr(good.find('\n')),
        good + "note 6.5 7 60.00\n", // overlapping
        good + "note 10 11 nan\n",
        "linlangok-melody 1\nlayout left\nverdict no-voice\nnote 1 2 60\n",
    };
    for (const std::string& text : damaged)
        EXPECT_FALSE(ParseKeptMelody(text)) << text;
    EXPECT_TRUE(ParseKeptMelody(good));

    const test::CTemporaryFolder folder;
    const CMelodyStore store(folder.Path());
    const SongIdentity song {1, 2};
    std::string huge = good;
    while (huge.size() <= kMaximumMelodyFileBytes)
        huge += "note 90000 90001 60.00\n";
    folder.WriteFile(store.FileOf(song).filename().string(), huge);
    EXPECT_FALSE(store.Recall(song));
}

// Derives a melody for every file but "broken", counting the calls.
class CCountingDeriver final : public IVideoMelodyDeriver {
public:
    std::optional<VocalMelodyResult> Derive(
        const std::filesystem::path& video, const VocalLayout&, std::stop_token) override
    {
        ++derived;
        if (video.filename() == "broken.mkv")
            return VocalMelodyResult {EVocalMelodyVerdict::Unreadable, {}};
        return SomeMelody().result;
    }
    VocalLayout DefaultLayout(const std::filesystem::path&) override { return {VocalLayout::EPlace::Track, 1}; }

    int derived = 0;
};

TEST(MelodyStoreTest, TheQueueDerivesASongOnceAndKeepsWhatItFound)
{
    const test::CTemporaryFolder folder;
    const CMelodyStore store(folder.Path() / "Melodies");
    CCountingDeriver deriver;
    CUiTaskQueue uiThread;
    std::vector<std::pair<SongIdentity, EVocalMelodyVerdict>> results;
    CVideoMelodyQueue queue(deriver, store, uiThread,
        [&](const SongIdentity& song, const VocalMelodyResult& result) { results.emplace_back(song, result.verdict); });
    const auto ask = [&](const std::filesystem::path& file, std::optional<VocalLayout> layout = {}) {
        queue.Request(file, *IdentifySong(file), layout);
        // A result asked for right after the last one came is answered too (ten seconds at most).
        for (int wait = 0; wait < 100 && uiThread.RunPending() == 0; ++wait)
            uiThread.WaitForTask(std::chrono::milliseconds(100));
    };
    const std::filesystem::path song = folder.WriteFile("song.mkv", "a song");
    const std::filesystem::path broken = folder.WriteFile("broken.mkv", "a broken one");
    ask(song);
    ask(song); // kept
    ask(broken);
    ask(broken); // derived again
    ask(song, VocalLayout {VocalLayout::EPlace::LeftChannel, 0}); // another layout
    EXPECT_EQ(deriver.derived, 4);
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[1], std::pair(*IdentifySong(song), EVocalMelodyVerdict::Melody));
    EXPECT_EQ(results[3].second, EVocalMelodyVerdict::Unreadable);
    EXPECT_EQ(store.Recall(*IdentifySong(song))->layout, (VocalLayout {VocalLayout::EPlace::LeftChannel, 0}));
    EXPECT_FALSE(store.Recall(*IdentifySong(broken)));
}

// Records what it derives; the first derivation of "long.mkv" lasts until it is stopped.
class CRecordingDeriver final : public IVideoMelodyDeriver {
public:
    std::optional<VocalMelodyResult> Derive(
        const std::filesystem::path& video, const VocalLayout&, std::stop_token stop) override
    {
        std::unique_lock lock(m_lock);
        m_derived.push_back(video.filename().string());
        m_changed.notify_all();
        if (m_derived.size() > 1 || !m_changed.wait(lock, stop, [] { return false; }))
            return SomeMelody().result;
        return std::nullopt;
    }
    VocalLayout DefaultLayout(const std::filesystem::path&) override { return {}; }

    // Waits (ten seconds at most) until this many derivations have started.
    std::vector<std::string> WaitFor(size_t count)
    {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_derived.size() >= count; });
        return m_derived;
    }

private:
    std::mutex m_lock;
    std::condition_variable_any m_changed;
    std::vector<std::string> m_derived;
};

TEST(MelodyStoreTest, TheCatalogueIsDerivedWhenIdleAndGivesWayToASongAskedFor)
{
    const test::CTemporaryFolder folder;
    const CMelodyStore store(folder.Path() / "Melodies");
    std::vector<CataloguedVideo> catalogue;
    for (const char* name : {"long.mkv", "kept.mkv", "short.mkv"})
        catalogue.push_back({folder.WriteFile(name, name), *IdentifySong(folder.Path() / name)});
    ASSERT_TRUE(store.Keep(catalogue[1].song, SomeMelody()));
    const std::filesystem::path played = folder.WriteFile("played.mkv", "the video that plays");
    CRecordingDeriver deriver;
    CUiTaskQueue uiThread;
    CVideoMelodyQueue queue(deriver, store, uiThread, [](const SongIdentity&, const VocalMelodyResult&) {});
    size_t walked = 0;
    queue.DeriveCatalogue([&]() -> std::optional<CataloguedVideo> {
        return walked < catalogue.size() ? std::optional(catalogue[walked++]) : std::nullopt;
    });
    deriver.WaitFor(1);
    queue.Request(played, *IdentifySong(played));
    // The stopped one first, then the one asked for, the stopped one again and the next not kept.
    EXPECT_EQ(deriver.WaitFor(4), (std::vector<std::string> {"long.mkv", "played.mkv", "long.mkv", "short.mkv"}));
}

} // namespace
} // namespace linlangok
