#include "tests/midi/MidiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace linlangok::test {
namespace {

struct TempoTest : SongFixture, ::testing::Test { };

TEST_F(TempoTest, SetTempoRewritesInPlaceOrInsertsAfterTheTick)
{
    CMidiTrack& track = AddEmptyTrack();
    track.Append(Meta(1, "a"), 0);
    track.Append(Tempo(500000), 480);
    track.Append(NoteOn(0, 60, 1), 0);
    song.SetTempo(480, 500000, 0);
    EXPECT_EQ(track.Count(), 4u);
    song.SetTempo(480, 600000, 0);
    EXPECT_EQ(Describe(track)[1], "480/480 FF 51 09 27 C0");
    EXPECT_EQ(track.Count(), 4u);
    song.SetTempo(0, 0, 0);
    song.SetTempo(0, 400000, 0);
    EXPECT_EQ(Describe(track),
        (Lines {"0/0 FF 01 \"a\"", "0/0 FF 51 06 1A 80", "480/480 FF 51 09 27 C0", "480/0 90 3C 01", "480/0 FF 2F"}));
    EXPECT_THROW(song.SetTempo(0, 400000, 1), std::invalid_argument);
}

TEST_F(TempoTest, MergeKeepsTheFirstTempoAtATick)
{
    CMidiTrack& conductor = AddEmptyTrack();
    conductor.Append(Tempo(500000), 0);
    AddEmptyTrack().Append(NoteOn(0, 60, 1), 0);
    CMidiTrack& third = AddEmptyTrack();
    third.Append(Tempo(400000), 0);
    third.Append(Tempo(300000), 960);
    third.Append(NoteOn(1, 60, 1), 0);
    song.NormalizeTempo();
    EXPECT_EQ(Describe(conductor), (Lines {"0/0 FF 51 07 A1 20", "960/960 FF 51 04 93 E0", "960/0 FF 2F"}));
    EXPECT_EQ(Describe(third), (Lines {"960/960 91 3C 01", "960/0 FF 2F"}));
    ASSERT_EQ(song.TempoReferences().size(), 2u);
    EXPECT_EQ(song.TempoReferences()[1].track, 0u);
    EXPECT_EQ(song.TempoReferences()[1].entry, 1u);
}

// The literal merge: a selection sort by tick whose swaps may reorder Set Tempo events at one tick,
// Remove from the last entry down, then SetTempo for each pending tempo.
void ReferenceNormalizeTempo(CMidiSong& song)
{
    std::vector<std::pair<int32_t, int32_t>> found;
    bool outside = false;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        for (const TrackEntry& entry : song.Track(track).Entries()) {
            if (IsMetaOfType(entry.message, 0x51)) {
                found.push_back({entry.tick, AsMetaMessage(entry.message)->TempoOf()});
                outside = outside || track != 0;
            }
        }
    }
    if (!outside)
        return;
    for (size_t i = 0; i < found.size(); ++i) {
        size_t least = i;
        for (size_t j = i + 1; j < found.size(); ++j) {
            if (found[least].first > found[j].first)
                least = j;
        }
        if (least != i)
            std::swap(found[i], found[least]);
    }
    std::vector<std::pair<int32_t, int32_t>> pending;
    for (const auto& tempo : found) {
        if ((pending.empty() || pending.back().first != tempo.first) && tempo.second >= 1)
            pending.push_back(tempo);
    }
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        for (size_t index = song.Track(track).Count() - 1; index-- > 0;) {
            if (IsMetaOfType(song.Track(track).Entry(index).message, 0x51))
                song.Track(track).Remove(index, false);
        }
    }
    for (const auto& [tick, tempo] : pending)
        song.SetTempo(tick, tempo, 0);
}

TEST_F(TempoTest, MergeMatchesTheLiteralAlgorithm)
{
    for (unsigned seed = 0; seed < 200; ++seed) {
        SongFixture merged;
        SongFixture literal;
        for (SongFixture* fixture : {&merged, &literal}) {
            std::mt19937 random(seed);
            for (int track = 0; track < 3; ++track) {
                CMidiTrack& added = fixture->AddEmptyTrack();
                const int events = static_cast<int>(random() % 7);
                for (int event = 0; event < events; ++event) {
                    const auto delta = static_cast<int32_t>(random() % 3 * 120);
                    switch (random() % 4) {
                    case 0:
                        added.Append(fixture->NoteOn(track, 60, 64), delta);
                        break;
                    case 1:
                        added.Append(fixture->Meta(1, "t"), delta);
                        break;
                    default:
                        added.Append(fixture->Tempo(static_cast<int32_t>(random() % 3 * 100000)), delta);
                    }
                }
                added.AdjustDelta(added.Count() - 1, static_cast<int32_t>(random() % 2 * 96));
            }
        }
        merged.song.NormalizeTempo();
        ReferenceNormalizeTempo(literal.song);
        for (size_t track = 0; track < 3; ++track)
            ASSERT_EQ(Describe(merged.song.Track(track)), Describe(literal.song.Track(track))) << "seed " << seed;
        for (const TempoReference& reference : merged.song.TempoReferences())
            EXPECT_TRUE(IsMetaOfType(merged.song.Track(reference.track).Entry(reference.entry).message, 0x51));
    }
}

TEST_F(TempoTest, TicksToSecondsFollowsTheSegments)
{
    song.SetDivision(480);
    EXPECT_EQ(song.TicksToSeconds(960), 0.0);
    CMidiTrack& track = AddEmptyTrack();
    track.Append(Tempo(500000), 480);
    track.Append(Tempo(1000000), 480);
    track.Append(NoteOn(0, 60, 1), 960);
    song.NormalizeTempo();
    song.BuildTempoMap();
    ASSERT_EQ(song.TempoMap().Segments().size(), 2u);
    EXPECT_FLOAT_EQ(song.TempoMap().Segments()[1].start, 0.5f);
    // Before the first segment the last one applies: (100 - 960) ticks at 1 s per quarter.
    EXPECT_DOUBLE_EQ(song.TicksToSeconds(100), 0.5 + (100.0 - 960) / 480);
    EXPECT_DOUBLE_EQ(song.TicksToSeconds(480), 0.0);
    EXPECT_DOUBLE_EQ(song.TicksToSeconds(720), 0.25);
    EXPECT_DOUBLE_EQ(song.TicksToSeconds(1920), 2.5);
    EXPECT_DOUBLE_EQ(song.LengthSeconds(), 2.5);
    EXPECT_THROW(song.SetDivision(0), std::invalid_argument);
}

TEST_F(TempoTest, ClockOperationsReachTheTickClock)
{
    song.SetDivision(480);
    song.RewindClock(100);
    EXPECT_EQ(song.Clock().Division(), 480);
    EXPECT_EQ(song.Clock().Timer().TickCounter(), 100);
    song.Clock().Start();
    driver.Advance(1500);
    EXPECT_DOUBLE_EQ(song.ElapsedSeconds(), 1.5);
    EXPECT_EQ(song.Clock().Timer().TickCounter(), 100 + 1440);
    song.Clock().StopAndReset();
}

} // namespace
} // namespace linlangok::test
