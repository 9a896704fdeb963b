#include "core/scoring/SingingScore.h"

#include <gtest/gtest.h>

#include <cmath>

namespace linlangok {
namespace {

// Pitches every 5 ms from `from` to `to` (song seconds), each from `pitch` at its time.
template <typename PitchAt> void SingInto(CSingingScorer& scorer, double from, double to, PitchAt pitch)
{
    for (double time = from; time < to; time += 0.005)
        scorer.Add({time, pitch(time)});
}

ReferenceMelody TwoLines()
{
    const std::vector<MelodyNote> notes {{1.0, 1.5, 60}, {1.5, 2.0, 64}, {4.0, 4.5, 67}, {4.5, 5.0, 65}};
    return {EMelodySource::Midi, notes, MelodyLines(notes)};
}

float Sung(const ReferenceMelody& melody, double time, double off = 0)
{
    for (size_t index = 0; index < melody.notes.size(); ++index) {
        if (time >= melody.notes[index].start && time < melody.notes[index].end)
            return float(melody.notes[index].pitch + (index % 2 == 1 ? off : 0));
    }
    return NAN;
}

TEST(SingingScore, CreditFallsWithTheDistanceOctavesAsideAndTheDifficultyScalesIt)
{
    const PitchTolerance normal = ToleranceOf(EDifficulty::Normal);
    EXPECT_EQ(PitchCredit(60.4, 60, normal), 1.0);
    EXPECT_DOUBLE_EQ(PitchCredit(61.0, 60, normal), 0.5);
    EXPECT_EQ(PitchCredit(61.6, 60, normal), 0.0);
    EXPECT_EQ(PitchCredit(48.3, 60, normal), 1.0) << "an octave down";
    EXPECT_DOUBLE_EQ(PitchCredit(71.0, 60, normal), 0.5) << "a semitone under the octave above";
    EXPECT_EQ(PitchCredit(62.0, 60, ToleranceOf(EDifficulty::Easy)), 0.5);
    EXPECT_EQ(PitchCredit(60.5, 60, ToleranceOf(EDifficulty::Hard)), 0.5);
    EXPECT_EQ(std::u16string(LineWord(90)) += LineWord(49), u"完美加油");
    EXPECT_EQ(std::u16string(LineWord(89)) += LineWord(50), u"很好不错");
}

TEST(SingingScore, ScoresTheSungTimeAndClosesEachLineAsItIsJudged)
{
    const ReferenceMelody melody = TwoLines();
    ASSERT_EQ(melody.lines.size(), 2u);
    CSingingScorer exact(melody, EDifficulty::Normal);
    // A consonant's 40 ms of nothing at each note's start costs nothing.
    SingInto(exact, 0, 3, [&](double time) {
        const bool consonant = std::fmod(time - 1.0 + 10, 0.5) < 0.04;
        return consonant ? NAN : Sung(melody, time);
    });
    ASSERT_EQ(exact.FinishedLines().size(), 1u) << "the first line is judged while the second waits";
    EXPECT_EQ(exact.FinishedLines()[0].score, 100);
    EXPECT_EQ(exact.FinishedLines()[0].word, u"完美");
    EXPECT_EQ(exact.RunningScore(), 100);
    SingInto(exact, 3, 6, [&](double time) { return Sung(melody, time); });
    exact.Add({2.0, 60}); // earlier than what was heard: ignored
    exact.Finish();
    EXPECT_EQ(exact.Result().score, 100);
    EXPECT_EQ(exact.Result().notesHit, 4);
    EXPECT_EQ(exact.FinishedLines().size(), 2u);

    CSingingScorer flat(melody, EDifficulty::Normal);
    SingInto(flat, 0, 6, [&](double time) { return Sung(melody, time, -2); });
    flat.Finish();
    EXPECT_NEAR(flat.Result().score, 50, 6);
    EXPECT_EQ(flat.Result().notesHit, 2);

    CSingingScorer halfSung(melody, EDifficulty::Normal);
    SingInto(halfSung, 0, 3, [&](double time) { return Sung(melody, time); });
    halfSung.Finish();
    ASSERT_EQ(halfSung.Result().lines.size(), 2u);
    EXPECT_EQ(halfSung.Result().lines[1].score, 0) << "a line not sung to is judged when the song stops";
    EXPECT_EQ(halfSung.Result().lines[1].word, u"加油");
    EXPECT_EQ(halfSung.Result().score, 50);
}

TEST(SingingScore, GoldenNotesCountTwiceFreestyleNotAtAllAndRapTakesAnyVoice)
{
    std::vector<MelodyNote> notes {
        {0, 1, 60, ENoteKind::Golden}, {1, 2, 62}, {2, 3, 64, ENoteKind::Freestyle}, {3, 4, 50, ENoteKind::Rap}};
    CSingingScorer scorer({EMelodySource::UltraStar, notes, MelodyLines(notes)}, EDifficulty::Normal);
    // The golden note and the rap note on pitch or voiced; the normal and freestyle notes missed.
    SingInto(scorer, 0, 5, [](double time) { return time < 1 ? 60.0f : time < 3 ? 70.0f : 41.0f; });
    scorer.Finish();
    EXPECT_EQ(scorer.Result().notes, 3);
    EXPECT_NEAR(scorer.Result().score, 75, 2) << "(2 + 1) of (2 + 1 + 1)";
    EXPECT_TRUE(scorer.Hits({3.5, 41.0f}));
    EXPECT_FALSE(scorer.Hits({2.5, 64.0f})) << "freestyle is never judged";
}

TEST(SingingScore, NotesAreMadeMonophonicAndLinesBreakAtLyricLinesOrRests)
{
    const std::vector<MelodyNote> notes
        = MonophonicNotes({{2, 3, 64}, {0, 1.5, 60}, {1, 2, 62}, {1, 1.2, 67}, {5, 5, 70}, {4, 6, 65}});
    const std::vector<MelodyNote> expected {{0, 1, 60}, {1, 1.2, 67}, {2, 3, 64}, {4, 6, 65}};
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(MelodyLines(notes), (std::vector<MelodyLine> {{0, 3}, {4, 6}}));
    EXPECT_EQ(MelodyLines(notes, {1.0, 3.5}), (std::vector<MelodyLine> {{0, 1}, {1, 3}, {4, 6}}));
}

} // namespace
} // namespace linlangok
