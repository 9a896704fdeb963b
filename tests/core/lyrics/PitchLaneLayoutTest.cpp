#include "core/lyrics/PitchLaneLayout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace linlangok {
namespace {

std::vector<MelodyNote> Notes(std::initializer_list<double> pitches)
{
    std::vector<MelodyNote> notes;
    for (const double pitch : pitches)
        notes.push_back({10.0 + notes.size(), 10.5 + notes.size(), pitch});
    return notes;
}

TEST(PitchLaneLayout, TheRangeIsAnOctaveAtLeastAndMovesOnlyWhenTheNotesLeaveIt)
{
    EXPECT_EQ(FitPitchRange({}), (PitchRange {54, 66}));
    EXPECT_EQ(FitPitchRange(Notes({60, 62})), (PitchRange {55, 67})); // widened about the middle
    EXPECT_EQ(FitPitchRange(Notes({50, 80})), (PitchRange {48, 82}));

    CPitchLaneRange range;
    EXPECT_EQ(range.Update(Notes({60, 62})), (PitchRange {55, 67}));
    EXPECT_EQ(range.Update(Notes({57, 64})), (PitchRange {55, 67})); // inside: stays
    EXPECT_EQ(range.Update(Notes({66})), (PitchRange {55, 67})); // a half semitone inside
    EXPECT_EQ(range.Update({}), (PitchRange {55, 67})); // a rest keeps it
    EXPECT_EQ(range.Update(Notes({67})), (PitchRange {61, 73})); // out: fitted again
    EXPECT_EQ(range.Update(Notes({40, 80})), (PitchRange {38, 82}));
    EXPECT_EQ(range.Update(Notes({45, 75})), (PitchRange {38, 82})); // not an octave too tall
    EXPECT_EQ(range.Update(Notes({60})), (PitchRange {54, 66})); // far too tall for one note
}

TEST(PitchLaneLayout, BarsAndTheTraceMapIntoThePitchBoxAndChangeColourHalfWay)
{
    // 500 × 120 at (10, 200): a strip of 24 pixels, below it 96 pixels for 12 semitones; 100
    // pixels a second, now at x = 110.
    const CPitchLaneLayout layout({10, 200, 500, 120}, {60, 72}, 20.0);
    EXPECT_EQ(layout.PitchBox(), (PixelRect {10, 224, 500, 96}));
    EXPECT_DOUBLE_EQ(layout.NowX(), 110);
    EXPECT_DOUBLE_EQ(layout.Y(90), 224); // beyond the range: at its edge
    const std::vector<NoteBar> bars
        = layout.Bars({{18.0, 19.5, 66}, {20.5, 21.0, 70, ENoteKind::Golden}, {25, 26, 66}});
    ASSERT_EQ(bars.size(), 2u); // the last one is beyond the span
    EXPECT_DOUBLE_EQ(bars[0].left, 10); // clipped to the span
    EXPECT_DOUBLE_EQ(bars[0].width, 50);
    EXPECT_DOUBLE_EQ(bars[0].top, 268); // a semitone about its pitch
    EXPECT_EQ(bars[1].kind, ENoteKind::Golden);

    const std::vector<TraceSegment> segments = layout.Segments(
        {{19.50, 66, true}, {19.52, 66, true}, {19.54, 67, false}, {19.56, NAN, false}, {19.58, 66, true}});
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_TRUE(segments[1].hit); // from the hit to half way to the miss
    EXPECT_NEAR(segments[1].x2, 63, 1e-9);
    EXPECT_FALSE(segments[2].hit);
    EXPECT_DOUBLE_EQ(segments[3].x1, segments[3].x2) << "after the unvoiced point, a dot";
}

TEST(PitchLaneLayout, TheWordShowsForAWhileAndTheScoreScreenSaysTheLinesThatFit)
{
    ScoringView view;
    view.now = 12.0;
    view.lastLine = LineScore {{5.0, 10.5}, 85, LineWord(85)};
    EXPECT_EQ(ShownWord(view), u"很好");
    view.now = 12.5; // kLineWordSeconds after the line's end
    EXPECT_EQ(ShownWord(view), u"");
    view.result = SongScore {81, 10, 8, {{{5.0, 10.5}, 85, LineWord(85)}, {{11.0, 14.0}, 40, LineWord(40)}}};
    view.bestScore = 92;
    EXPECT_EQ(ScoringSummary(view), u"得分 81，最高分 92");
    const std::vector<ScoreRow> rows = ScoreRows(*view.result);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].label + rows[1].score + rows[1].word, u"第 2 句40加油");

    const PixelRect screen {0, 0, 1280, 720};
    EXPECT_FALSE(LayOutScoreScreen(screen, 8).moreRow);
    const ScoreScreenLayout many = LayOutScoreScreen(screen, 40);
    EXPECT_TRUE(many.moreRow);
    EXPECT_LT(many.rowsShown, 40u);
    EXPECT_LE(many.Row(many.rowsShown).label.Bottom(), screen.Bottom());
    EXPECT_EQ(SplitForLane({0, 0, 400, 300}, true, 16).band, (PixelRect {0, 200, 400, 100}));
}

} // namespace
} // namespace linlangok
