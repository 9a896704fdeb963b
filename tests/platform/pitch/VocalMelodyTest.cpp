#include "core/scoring/VocalMelody.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "tests/support/TestSinger.h"

#include <gtest/gtest.h>

#include <cmath>

namespace linlangok {
namespace {

constexpr int kRate = 44100;

// The synthetic singer over a backing (at `gain` in the original), and the backing track `delay`
// samples later (earlier when negative).
struct KtvSound {
    std::vector<MelodyNote> tune;
    std::vector<float> original;
    std::vector<float> backing;
};

KtvSound Ktv(std::ptrdiff_t delay, float gain, std::uint32_t backingSeed = 7)
{
    KtvSound sound {TestTune(24), {}, {}};
    const double seconds = sound.tune.back().end + 1.0;
    sound.original = Sing(sound.tune, SingerVoice {}, seconds).samples;
    const std::vector<float> backing = TestBacking(sound.tune, kRate, seconds, 0.1);
    const std::vector<float> heard = TestBacking(TestTune(24, backingSeed), kRate, seconds, 0.1);
    sound.backing.assign(sound.original.size(), 0.0f);
    for (size_t at = 0; at < sound.original.size(); ++at) {
        sound.original[at] += gain * heard[at];
        const std::ptrdiff_t moved = std::ptrdiff_t(at) + delay;
        if (moved >= 0 && moved < std::ptrdiff_t(sound.backing.size()))
            sound.backing[size_t(moved)] = backing[at];
    }
    return sound;
}

TEST(VocalMelodyTest, TheVoiceIsFoundWhateverTheBackingsOffsetAndGain)
{
    for (const auto& [delay, gain] : {std::pair {std::ptrdiff_t(13457), 0.8f}, {std::ptrdiff_t(-9001), 1.3f}}) {
        const KtvSound sound = Ktv(delay, gain);
        const std::optional<BackingAlignment> alignment
            = AlignBacking(sound.original, sound.backing, kRate, std::stop_token());
        ASSERT_TRUE(alignment);
        EXPECT_EQ(alignment->lagFrames, -delay);
        EXPECT_NEAR(alignment->gain, gain, 0.01 * gain);
        const std::optional<VocalMelodyResult> result
            = DeriveVocalMelody(sound.original, sound.backing, kRate, MakeAubioPitchTracker, std::stop_token());
        ASSERT_TRUE(result);
        ASSERT_EQ(result->verdict, EVocalMelodyVerdict::Melody);
        EXPECT_EQ(result->melody.source, EMelodySource::Video);
        EXPECT_GE(NotesFound(sound.tune, result->melody.notes), sound.tune.size() * 9 / 10) << delay;
        EXPECT_EQ(result->melody.lines.size(), 3u);
    }
}

TEST(VocalMelodyTest, TwoMixesThatDoNotCancelCannotBeScored)
{
    const KtvSound unrelated = Ktv(0, 1.0f, 99);
    EXPECT_EQ(DeriveVocalMelody(unrelated.original, unrelated.backing, kRate, MakeAubioPitchTracker, {})->verdict,
        EVocalMelodyVerdict::NotSameMix);
    const KtvSound same = Ktv(0, 1.0f);
    EXPECT_EQ(DeriveVocalMelody(same.backing, same.backing, kRate, MakeAubioPitchTracker, {})->verdict,
        EVocalMelodyVerdict::NoVoice);
    EXPECT_EQ(DeriveVocalMelody({}, {}, kRate, MakeAubioPitchTracker, {})->verdict, EVocalMelodyVerdict::NotSameMix);
    EXPECT_FALSE(VocalMelodyVerdictText(EVocalMelodyVerdict::NotSameMix).empty());

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(DeriveVocalMelody(same.original, same.backing, kRate, MakeAubioPitchTracker, stop.get_token()));
}

TEST(VocalMelodyTest, NotesSplitAtJumpsAndGapsAndKeepTheirMedianPitch)
{
    constexpr double kHop = 0.005;
    std::vector<PitchFrame> frames;
    const auto sing = [&](int hops, float pitch) {
        for (int hop = 0; hop < hops; ++hop)
            frames.push_back({double(frames.size()) * kHop, pitch + (hop % 2 ? 0.2f : -0.1f)});
    };
    sing(40, 60); // 0.2 s
    sing(30, 62); // a jump
    sing(3, NAN); // a gap longer than two hops
    sing(30, 62);
    sing(10, 70); // 50 ms: too short
    sing(2, NAN); // bridged
    sing(30, 70);
    const std::vector<MelodyNote> notes = VocalNotes(frames, kHop);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].start, 0) << "its consonant before it, from the song's start";
    EXPECT_NEAR(notes[0].end, 0.1975, 1e-9);
    EXPECT_NEAR(notes[1].start, 0.1975, 1e-9) << "a jump: no consonant";
    EXPECT_NEAR(notes[2].start, notes[1].end, 1e-9) << "after a rest, its consonant as far as the note before";
    EXPECT_FLOAT_EQ(float(notes[0].pitch), 60.2f);
    EXPECT_FLOAT_EQ(float(notes[2].pitch), 62.2f);
    EXPECT_NEAR(notes[3].end - notes[3].start, 0.21, 1e-9);
}

} // namespace
} // namespace linlangok
