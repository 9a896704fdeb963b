#include "core/lyrics/LrcLyricView.h"
#include "core/lyrics/MidiLyricView.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace linlangok {
namespace {

const CIconvCodePage gbk("GBK");

LyricsPaintInput Paint(double position, bool playing = true, int clientHeight = 300)
{
    LyricsPaintInput input;
    input.position = position;
    input.clientHeight = clientHeight;
    input.playing = playing;
    input.lyricPathEmpty = false;
    return input;
}

// One frame of the timer and the paint after it.
template <typename View> auto Frame(View& view, const LyricsPaintInput& input)
{
    view.Advance(input);
    return view.Layout(input);
}

// A view loaded with lines at the given times (texts "0", "1", ...).
CLrcLyricView LrcView(const std::string& lrc)
{
    test::CTemporaryFolder folder;
    CLrcLyricView view(gbk);
    view.Load(folder.WriteFile("a.lrc", lrc));
    return view;
}

const LyricTextLine* FindLine(const std::vector<LyricTextLine>& lines, int index)
{
    for (const auto& line : lines) {
        if (line.line == index)
            return &line;
    }
    return nullptr;
}

TEST(LrcLyricView, FirstSongScrollsFromTheStartAndTurnsGreenInTheLastSecond)
{
    CLrcLyricView view = LrcView("[00:00]0\n[00:10]1\n[00:20]2\n");
    auto lines = Frame(view, Paint(0)).lines;
    // The remembered line is already 0, so the start-up step of 0.1 pixel per paint is kept.
    EXPECT_FLOAT_EQ(view.Scroll().Offset(), 0.1f);
    ASSERT_NE(FindLine(lines, 0), nullptr);
    EXPECT_EQ(*FindLine(lines, 0), (LyricTextLine {0, 149, u"0", kLrcCurrentLine}));
    EXPECT_EQ(*FindLine(lines, 1), (LyricTextLine {1, 175, u"1", kLrcOtherLine}));

    EXPECT_EQ(FindLine(Frame(view, Paint(8.9)).lines, 0)->colour, kLrcCurrentLine);
    EXPECT_EQ(FindLine(Frame(view, Paint(9.0)).lines, 0)->colour, kLrcCurrentLineEnding);

    lines = Frame(view, Paint(10.0)).lines;
    EXPECT_FLOAT_EQ(view.Scroll().Step(), 0.26f);
    EXPECT_FLOAT_EQ(view.Scroll().Offset(), 0.26f);
    EXPECT_EQ(FindLine(lines, 1)->top, 149); // 26 + trunc(150 - 26 - 0.26)
    EXPECT_EQ(FindLine(lines, 1)->colour, kLrcCurrentLine);

    // The last line keeps the step of the line before it and never turns green.
    Frame(view, Paint(25));
    EXPECT_FLOAT_EQ(view.Scroll().Offset(), 0.52f);
    EXPECT_EQ(FindLine(Frame(view, Paint(25)).lines, 2)->colour, kLrcCurrentLine);
}

TEST(LrcLyricView, AStoppedPictureStaysStillAndOnlyLinesThatCanBeVisibleAreDrawn)
{
    std::string lrc;
    for (int i = 0; i < 40; ++i)
        lrc += "[00:" + std::to_string(10 + i) + "]x\n";
    CLrcLyricView view = LrcView(lrc);
    const auto lines = Frame(view, Paint(30, false)).lines; // line 20 current; 300 / 2 / 26 gives 5
    EXPECT_EQ(Frame(view, Paint(30, false)).lines, lines);
    EXPECT_EQ(view.Scroll().Offset(), 0.0f);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().line, 14);
    EXPECT_EQ(lines.back().line, 26);
    EXPECT_EQ(Frame(view, Paint(0, false)).lines.front().line, 0);
}

TEST(LrcLyricView, IdleLinesCentreTheHyphenLineAndRiseAtMostSixtyPixels)
{
    CLrcLyricView view(gbk);
    view.Load({}); // an empty path shows the idle lines
    ASSERT_EQ(view.Lines().size(), 5u);
    LyricsPaintInput input = Paint(0);
    input.idle = true;
    input.lyricPathEmpty = true;
    std::vector<LyricTextLine> lines;
    for (int paint = 0; paint < 2000; ++paint)
        lines = Frame(view, input).lines;
    EXPECT_EQ(view.Scroll().Offset(), 60.0f);
    EXPECT_EQ(*FindLine(lines, 2), (LyricTextLine {2, 150 - 60, u"-----------------------", kLrcCurrentLine}));
}

TEST(LrcLyricView, LoadResetsTheOffsetButAMissingFileOnlyEmptiesTheView)
{
    test::CTemporaryFolder folder;
    CLrcLyricView view(gbk);
    view.ShowIdle();
    Frame(view, Paint(0));
    ASSERT_GT(view.Scroll().Offset(), 0.0f);
    view.Load(folder.Path() / "missing.lrc");
    EXPECT_TRUE(view.Lines().empty());
    EXPECT_GT(view.Scroll().Offset(), 0.0f);
    EXPECT_TRUE(Frame(view, Paint(0)).lines.empty());
    view.Load(folder.WriteFile("a.lrc", "[00:01]a\n"));
    EXPECT_EQ(view.Lines().size(), 1u);
    EXPECT_EQ(view.Scroll().Offset(), 0.0f);
}

TEST(LrcLyricView, LinesStartingTogetherDoNotScroll)
{
    CLrcLyricView view = LrcView("[00:00]a\n[00:00]b\n[00:05]c\n");
    Frame(view, Paint(1)); // line 1 current
    EXPECT_FLOAT_EQ(view.Scroll().Step(), 26 * 0.1f / 5);
    Frame(view, Paint(0)); // line 0, which lasts no time
    EXPECT_EQ(view.Scroll().Step(), 0.0f);
    EXPECT_EQ(view.Scroll().Offset(), 0.0f);

    CLrcLyricView two = LrcView("[00:00]a\n[00:00]b\n");
    LyricsPaintInput input = Paint(0);
    input.lyricPathEmpty = true; // asks for line 2, which this list does not have
    EXPECT_EQ(Frame(two, input).lines.size(), 2u);
}

// At #BPM 15 a beat is a second: P1 sings "ab" from 0 s to 8 s, "b" golden, P2 "d" from 2 s to 6 s.
TEST(LrcLyricView, ADuetShowsBothVoicesByTimeAndTheStageKeepsTheOtherVoiceStillSung)
{
    test::CTemporaryFolder folder;
    CLrcLyricView view(gbk);
    view.Load(folder.WriteFile("duet.txt",
        "#TITLE:x\n#BPM:15\nP1\n: 0 4 0 a\n* 4 4 0 b\n- 10\n: 10 2 0 c\n"
        "P2\n: 2 4 0 d\n"));
    const LyricFrame frame = Frame(view, Paint(3, false));
    EXPECT_EQ(*FindLine(frame.lines, 0), (LyricTextLine {0, 124, u"ab", kLrcOtherLine}));
    EXPECT_EQ(frame.current, (KaraokeLine {1, 150, u"d", u"", 1, {}}));
    EXPECT_EQ(FindLine(Frame(view, Paint(0, false)).lines, 1)->colour, kDuetOtherLine);
    const StageLines stage = view.Stage(Paint(3));
    EXPECT_EQ(stage.other, (KaraokeLine {0, 0, u"a", u"b", 0, {{1, 2}}}));
    EXPECT_EQ(stage.voice, 1);
    EXPECT_EQ(stage.next, u"c");
    EXPECT_FALSE(view.Stage(Paint(8)).other.has_value());

    EXPECT_EQ(
        KaraokeRuns(u"a", u"b", 0, {{1, 2}}), (std::vector<LyricRun> {{u"a", kMidiSungPart}, {u"b", kGoldenRestPart}}));
    EXPECT_EQ(KaraokeRuns(u"xy", u"zw", 1, {{1, 3}}),
        (std::vector<LyricRun> {
            {u"x", kMidiSungPart}, {u"y", kGoldenSungPart}, {u"z", kGoldenRestPart}, {u"w", kDuetRestPart}}));
}

TEST(LrcLyricView, AWordTimedCurrentLineIsSweptWordByWordAtTheExactPosition)
{
    CLrcLyricView view = LrcView("[00:00]plain\n[00:10.50]<00:10.50>a<00:11.20>b<00:12.00>c\n[00:20]d\n");
    // The line finder reads whole seconds, the sweep the exact position.
    const std::pair<double, KaraokeLine> sweeps[]
        = {{10.2, {1, 150, u"", u"abc"}}, {11.5, {1, 150, u"ab", u"c"}}, {19.9, {1, 150, u"abc", u""}}};
    for (const auto& [position, swept] : sweeps)
        EXPECT_EQ(Frame(view, Paint(position, false)).current, swept) << position;
    // Other lines, and a plain current line, are drawn whole as before.
    const LyricFrame frame = Frame(view, Paint(5, false));
    EXPECT_FALSE(frame.current);
    EXPECT_EQ(*FindLine(frame.lines, 0), (LyricTextLine {0, 150, u"plain", kLrcCurrentLine}));
    EXPECT_EQ(*FindLine(frame.lines, 1), (LyricTextLine {1, 176, u"abc", kLrcOtherLine}));
}

struct TestSyllable {
    int tick;
    float time;
    std::u16string text;
    ELyricBreak breakBefore = ELyricBreak::None;
};

// n syllables, syllable i at i seconds with the text "s<i>".
std::vector<TestSyllable> Syllables(int n)
{
    std::vector<TestSyllable> syllables;
    for (int i = 0; i < n; ++i)
        syllables.push_back(
            {i * 120, static_cast<float>(i), u"s" + std::u16string(1, static_cast<char16_t>(u'a' + i))});
    return syllables;
}

std::u16string Texts(int first, int last)
{
    std::u16string text;
    for (int i = first; i <= last; ++i)
        text += u"s" + std::u16string(1, static_cast<char16_t>(u'a' + i));
    return text;
}

TEST(MidiLyricView, KarBreaksMakeTheLinesAndAnEmptyLinePartsParagraphs)
{
    using enum ELyricBreak;
    // After one header line of 10 syllables: "\\a" "b" "/c" "\\d" "e".
    std::vector<ELyricBreak> breaks(kSyllablesPerLine, None);
    breaks.insert(breaks.end(), {Paragraph, None, Line, Paragraph, None});
    EXPECT_EQ(
        BuildMidiLyricLines(breaks, 1), (std::vector<MidiLyricLine> {{0, 10}, {10, 12}, {12, 13}, {13, 13}, {13, 15}}));

    // Without a header: syllable i at i seconds, lines {0, 3}, {3, 5}, the empty line, {5, 7}.
    std::vector<TestSyllable> syllables = Syllables(7);
    syllables[0].breakBefore = Paragraph;
    syllables[3].breakBefore = Line;
    syllables[5].breakBefore = Paragraph;
    CMidiLyricView view;
    view.SetSource(syllables, 0);
    ASSERT_EQ(view.LineCount(), 4);
    EXPECT_EQ(view.LineText(0), Texts(0, 2));
    EXPECT_EQ(view.LineText(2), u"");
    EXPECT_EQ(Frame(view, Paint(3.5, false)).current, (KaraokeLine {1, 150, Texts(3, 3), Texts(4, 4)}));
    EXPECT_FLOAT_EQ(view.Scroll().Step(), 26 * 0.1f / 2); // line 1 lasts until syllable 5
    // The empty line is never current: the paragraph's first line follows line 1.
    const LyricFrame frame = Frame(view, Paint(5.5, false));
    EXPECT_EQ(frame.current, (KaraokeLine {3, 150, Texts(5, 5), Texts(6, 6)}));
    EXPECT_EQ(frame.lines[2], (LyricTextLine {2, 150 - 26, u"", kMidiOtherLine}));
}

TEST(MidiLyricView, TheCurrentLineIsSplitAtTheSungSyllable)
{
    CMidiLyricView view;
    view.SetSource(Syllables(25), 1);
    ASSERT_EQ(view.LineCount(), 3);
    EXPECT_EQ(view.LineText(2), Texts(20, 24));

    auto frame = Frame(view, Paint(13.5, false));
    ASSERT_TRUE(frame.current);
    EXPECT_EQ(frame.current->line, 1);
    EXPECT_EQ(frame.current->sung, Texts(10, 13));
    EXPECT_EQ(frame.current->rest, Texts(14, 19));
    ASSERT_EQ(frame.lines.size(), 2u);
    EXPECT_EQ(frame.lines[0], (LyricTextLine {0, 150 - 26, Texts(0, 9), kMidiHeaderLine}));
    EXPECT_EQ(frame.lines[1], (LyricTextLine {2, 150 + 26, Texts(20, 24), kMidiOtherLine}));

    frame = Frame(view, Paint(-1, false)); // before the first syllable nothing is sung
    EXPECT_EQ(frame.current, (KaraokeLine {0, 150, u"", Texts(0, 9)}));
    EXPECT_EQ(Frame(view, Paint(99, false)).current, (KaraokeLine {2, 150, Texts(20, 24), u""}));
}

TEST(MidiLyricView, ScrollStepSpreadsALineOverItsDuration)
{
    CMidiLyricView view;
    std::vector<TestSyllable> syllables = Syllables(30);
    for (int i = 10; i < 30; ++i)
        syllables[i].time = 10 + (i - 10) * 0.5f; // line 1 lasts 5 s
    view.SetSource(syllables, 0);
    Frame(view, Paint(11));
    EXPECT_FLOAT_EQ(view.Scroll().Step(), 26 * 0.1f / 5);
    EXPECT_FLOAT_EQ(view.Scroll().Offset(), 26 * 0.1f / 5);

    for (auto& syllable : syllables)
        syllable.time = 5; // every line starts together: no scrolling, no division by zero
    view.SetSource(syllables, 0);
    Frame(view, Paint(4));
    EXPECT_EQ(view.Scroll().Step(), 0.0f);
    EXPECT_EQ(view.Scroll().Offset(), 0.0f);

    view.ClearSource();
    EXPECT_EQ(view.LineCount(), 0);
    EXPECT_FALSE(Frame(view, Paint(0)).current);
}

TEST(LyricsLayout, TruncationStaysInRange)
{
    EXPECT_EQ(TruncateToInt(-2.7), -2);
    EXPECT_EQ(TruncateToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
}

} // namespace
} // namespace linlangok
