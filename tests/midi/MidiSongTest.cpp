#include "tests/midi/MidiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace linlangok::test {
namespace {

struct MidiTrackTest : SongFixture, ::testing::Test {
    // Entries at ticks 0, 480, 480, 960.
    CMidiTrack& FourNotes()
    {
        CMidiTrack& track = AddEmptyTrack();
        track.Append(NoteOn(0, 60, 64), 0);
        track.Append(NoteOn(0, 62, 64), 480);
        track.Append(NoteOn(0, 64, 64), 0);
        track.Append(NoteOn(0, 65, 64), 480);
        return track;
    }
};

TEST_F(MidiTrackTest, AppendKeepsTicksAndTheEndOfTrack)
{
    CMidiTrack& track = AddEmptyTrack();
    EXPECT_EQ(Describe(track), Lines {"0/0 FF 2F"});
    EXPECT_EQ(song.LastTick(), 0);
    track.Append(NoteOn(0, 60, 64), 480);
    track.Append(NoteOn(0, 60, 0), 0);
    track.Append(Channel(0xB0, 0, 7, 100), 240);
    EXPECT_EQ(Describe(track), (Lines {"480/480 90 3C 40", "480/0 90 3C 00", "720/240 B0 07 64", "720/0 FF 2F"}));
    EXPECT_EQ(song.LastTick(), 720);
    EXPECT_THROW(track.Append(NoteOn(0, 1, 1), -1), std::invalid_argument);
    EXPECT_THROW(track.Append(NoteOn(0, 1, 1), INT32_MAX), std::invalid_argument);
    EXPECT_THROW(track.Entry(4), std::invalid_argument);
}

TEST_F(MidiTrackTest, FindAndInsertAtTick)
{
    CMidiTrack& track = FourNotes();
    EXPECT_EQ(track.FindIndexByTick(480, false), 1u);
    EXPECT_EQ(track.FindIndexByTick(480, true), 3u);
    EXPECT_EQ(track.FindIndexByTick(2000, false), 4u);
    EXPECT_EQ(track.FindIndexByTick(2000, true), 4u);
    EXPECT_EQ(track.FindIndexByTick(0, false), 0u);
    EXPECT_EQ(track.FindIndexByTick(0, true), 1u);

    EXPECT_EQ(track.InsertAtTick(600, Meta(1, "x"), true), 3u);
    EXPECT_EQ(Describe(track)[3], "600/120 FF 01 \"x\"");
    EXPECT_EQ(Describe(track)[4], "960/360 90 41 40");
    // At the end: the End of Track follows the new last entry.
    EXPECT_EQ(track.InsertAtTick(1200, Meta(1, "y"), false), 5u);
    EXPECT_EQ(Describe(track)[5], "1200/240 FF 01 \"y\"");
    EXPECT_EQ(Describe(track)[6], "1200/0 FF 2F");
    EXPECT_THROW(track.InsertAtTick(-1, Meta(1, "z"), false), std::invalid_argument);
}

TEST_F(MidiTrackTest, RemoveKeepsNotesUnlessForcedAndNeverTheEnd)
{
    CMidiTrack& track = FourNotes();
    track.Remove(1, false);
    EXPECT_EQ(track.Count(), 5u);
    track.Remove(4, true);
    EXPECT_EQ(track.Count(), 5u);
    track.Remove(1, true);
    EXPECT_EQ(Describe(track), (Lines {"0/0 90 3C 40", "480/480 90 40 40", "960/480 90 41 40", "960/0 FF 2F"}));
    track.Remove(2, true);
    EXPECT_EQ(Describe(track), (Lines {"0/0 90 3C 40", "480/480 90 40 40", "480/0 FF 2F"}));
    EXPECT_THROW(track.AdjustDelta(3, 1), std::runtime_error);
    track.AdjustDelta(2, 96);
    track.AdjustDelta(2, -200);
    EXPECT_EQ(Describe(track).back(), "480/96 FF 2F");
}

// RemoveEach must leave exactly what Remove without force, from the last entry down, leaves.
TEST_F(MidiTrackTest, RemoveEachMatchesRepeatedRemove)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        CMidiTrack& batch = AddEmptyTrack();
        CMidiTrack& single = AddEmptyTrack();
        const int events = static_cast<int>(random() % 8);
        for (int event = 0; event < events; ++event) {
            const int delta = static_cast<int>(random() % 3) * 10;
            const bool tempo = random() % 2;
            for (CMidiTrack* track : {&batch, &single})
                track->Append(tempo ? static_cast<CMidiMessage*>(Tempo(500000)) : NoteOn(0, 60, 1), delta);
        }
        const int endDelta = static_cast<int>(random() % 2) * 96;
        batch.AdjustDelta(batch.Count() - 1, endDelta);
        single.AdjustDelta(single.Count() - 1, endDelta);
        batch.RemoveEach([](const CMidiMessage& message) { return IsMetaOfType(&message, 0x51); });
        for (size_t index = single.Count() - 1; index-- > 0;) {
            if (IsMetaOfType(single.Entry(index).message, 0x51))
                single.Remove(index, false);
        }
        ASSERT_EQ(Describe(batch), Describe(single)) << "round " << round;
    }
}

TEST_F(MidiTrackTest, TransposeClampsAndAccumulates)
{
    CMidiTrack& track = AddEmptyTrack();
    track.Append(NoteOn(0, 100, 64), 0);
    track.Append(Channel(0x80, 0, 120, 0), 10);
    track.Append(Channel(0xA0, 0, 50, 1), 10);
    const Lines raised {"0/0 90 6B 40", "10/10 80 7F 00", "20/10 A0 32 01", "20/0 FF 2F"};
    EXPECT_TRUE(track.Transpose(12));
    EXPECT_EQ(Describe(track), raised);
    EXPECT_TRUE(track.Transpose(12));
    EXPECT_EQ(Describe(track), raised);
    EXPECT_FALSE(track.Transpose(7));
    EXPECT_TRUE(track.Transpose(0));
    EXPECT_EQ(Describe(track), (Lines {"0/0 90 64 40", "10/10 80 78 00", "20/10 A0 32 01", "20/0 FF 2F"}));
    EXPECT_TRUE(track.Transpose(-127));
    EXPECT_EQ(Describe(track)[0], "0/0 90 00 40");
    EXPECT_THROW(track.Transpose(128), std::invalid_argument);

    CMidiTrack& drums = AddEmptyTrack();
    drums.Append(Channel(0xC0, 9, 0), 0);
    drums.Append(NoteOn(9, 36, 100), 0);
    EXPECT_FALSE(drums.Transpose(5));
    EXPECT_EQ(Describe(drums)[1], "0/0 99 24 64");

    CMidiTrack& silent = AddEmptyTrack();
    silent.Append(Channel(0xB0, 3, 7, 100), 0);
    EXPECT_FALSE(silent.Transpose(5));
    EXPECT_EQ(silent.Channel(), -1);
}

TEST_F(MidiTrackTest, ConductorOnlyResetsTheEndOfTrack)
{
    CMidiTrack& conductor = AddEmptyTrack();
    conductor.Append(Tempo(500000), 0);
    conductor.Append(Meta(1, "late"), 960);
    conductor.AdjustDelta(2, 96);
    EXPECT_TRUE(conductor.IsConductorOnly());
    EXPECT_EQ(Describe(conductor).back(), "0/0 FF 2F");
    EXPECT_EQ(song.LastTick(), 960);

    CMidiTrack& notes = FourNotes();
    EXPECT_FALSE(notes.IsConductorOnly());
    EXPECT_EQ(Describe(notes).back(), "960/0 FF 2F");
}

TEST_F(MidiTrackTest, SetNameRewritesTheFirstNameOrInsertsOne)
{
    CMidiTrack& track = FourNotes();
    track.SetName(u"主旋律");
    EXPECT_EQ(track.Name(), u"主旋律");
    EXPECT_EQ(Describe(track)[0], "0/0 FF 03 \"主旋律\"");
    EXPECT_EQ(Describe(track)[1], "0/0 90 3C 40");
    track.SetName(u"伴奏");
    EXPECT_EQ(track.Count(), 6u);
    EXPECT_EQ(Describe(track)[0], "0/0 FF 03 \"伴奏\"");
}

TEST_F(MidiTrackTest, AddingAnotherSongsTrackIsRefused)
{
    SongFixture other;
    EXPECT_THROW(song.AddTrack(std::make_unique<CMidiTrack>(other.song)), std::invalid_argument);
    EXPECT_THROW(song.Track(0), std::invalid_argument);
}

using TempoTest = MidiTrackTest;

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

} // namespace
} // namespace linlangok::test
