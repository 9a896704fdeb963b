#pragma once

#include "core/lyrics/LyricsLayout.h"
#include "core/scoring/ScoringView.h"

#include <cstddef>
#include <string>
#include <vector>

// Where the pitch lane and the score screen put their parts, computed without a window: the
// lane's pitch range, the notes' bars and the singer's trace in pixels, the texts and where they
// go. Pixels are the painter's logical ones; times are song seconds; pitches MIDI note numbers.
// UI thread.
namespace linlangok {

inline constexpr RgbColour kLaneBackground {16, 16, 24};
inline constexpr RgbColour kLaneNote {40, 110, 190};
inline constexpr RgbColour kLaneGoldenNote {235, 180, 40};
inline constexpr RgbColour kLaneFreestyleNote {60, 70, 90}; // faint on the lane's background
inline constexpr RgbColour kLaneNowLine {200, 200, 200};
inline constexpr RgbColour kLaneHit {60, 230, 90};
inline constexpr RgbColour kLaneMiss {240, 90, 60};
inline constexpr RgbColour kLaneScore {255, 255, 255};
inline constexpr RgbColour kLaneWord {255, 210, 60};
inline constexpr RgbColour kLaneNotice {160, 160, 160};

// The lane shows at least this many semitones, the notes this far from its top and bottom.
inline constexpr double kLaneMinSemitones = 12.0;
inline constexpr double kLaneMarginSemitones = 2.0;
// Trace points further apart than this are not joined: the singer paused there.
inline constexpr double kTraceGapSeconds = 0.1;
// The share of a window's height the lane takes below the lyrics.
inline constexpr double kLaneBandShare = 1.0 / 3.0;

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Bottom() const { return top + height; } // one past the last row
    bool operator==(const PixelRect&) const = default;
};

// A window's client split in two: the lyrics above, the lane (or its notice) in the band below.
struct LaneSplit {
    PixelRect lyrics;
    PixelRect band;
};
// With a view, the band is kLaneBandShare of the height; with only a notice, one line of
// noticeLineHeight pixels (no taller than the lane would be).
LaneSplit SplitForLane(PixelRect client, bool view, int noticeLineHeight);

// The pitches at the lane's bottom and top edges.
struct PitchRange {
    double low = 0;
    double high = 0;

    double Semitones() const { return high - low; }
    bool operator==(const PitchRange&) const = default;
};

// The range that shows the notes: their lowest and highest with kLaneMarginSemitones around,
// widened about the middle to kLaneMinSemitones; an octave about middle C without notes.
PitchRange FitPitchRange(const std::vector<MelodyNote>& notes);

// The lane's range from frame to frame: it stays while the notes in view keep a half semitone
// inside it and it is at most an octave taller than they need, and is fitted again otherwise,
// so that it moves only when the melody leaves it.
class CPitchLaneRange {
public:
    // Takes the notes in view now; returns the range to draw them in.
    const PitchRange& Update(const std::vector<MelodyNote>& notes);
    // The range the last update chose; FitPitchRange of no notes before any.
    const PitchRange& Range() const { return m_range; }

private:
    PitchRange m_range = FitPitchRange({});
    bool m_fitted = false;
};

// A note's bar: one semitone tall about its pitch, clipped to the lane's time span.
struct NoteBar {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    ENoteKind kind = ENoteKind::Normal;
};

// A piece of the trace, from one point to the other, in one colour.
struct TraceSegment {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    bool hit = false;
};

// The lane in a box: a strip at the top for the score (left) and the line's word (right), the
// pitches below it, with the song's time running left to right, "now" a fifth of the way in
// (kLanePastSeconds of kLanePastSeconds + kLaneAheadSeconds).
class CPitchLaneLayout {
public:
    CPitchLaneLayout(PixelRect box, PitchRange range, double now);

    PixelRect ScoreBox() const;
    PixelRect WordBox() const;
    // Where the notes and the trace are drawn.
    PixelRect PitchBox() const { return m_pitchBox; }
    // The strip's text height, pixels.
    int TextPixels() const { return m_strip.height; }

    double X(double seconds) const;
    // Clamped to the pitch box: a pitch beyond the range is drawn at its edge.
    double Y(double pitch) const;
    double NowX() const { return X(m_now); }

    // Those of the notes that show within the lane's span.
    std::vector<NoteBar> Bars(const std::vector<MelodyNote>& notes) const;
    // The trace joined point to point where they are voiced and less than kTraceGapSeconds
    // apart; a segment between a hit and a miss changes colour half way. A point with neither
    // neighbour joined is a segment of no length (a dot).
    std::vector<TraceSegment> Segments(const std::vector<TracePoint>& trace) const;

private:
    PixelRect m_strip;
    PixelRect m_pitchBox;
    PitchRange m_range;
    double m_now = 0;
};

// "得分 87": the song's score once it has one, else the running score; a duet's "得分 87 / 75".
std::u16string ScoreText(const ScoringView& view);
// The last line's word while it shows (kLineWordSeconds after its end); empty otherwise.
std::u16string_view ShownWord(const ScoringView& view);
// What the lane says, for assistive tools: "得分 87，很好", the score screen's "得分 87，最高分 92".
std::u16string ScoringSummary(const ScoringView& view);

// One row of the score screen: "第 3 句", its score and its word.
struct ScoreRow {
    std::u16string label;
    std::u16string score;
    std::u16string word;
};
std::vector<ScoreRow> ScoreRows(const SongScore& result);

// Where a row's three texts go: the label and the score right-aligned, the word left-aligned.
struct ScoreRowBoxes {
    PixelRect label;
    PixelRect score;
    PixelRect word;
};

// The score screen in a box: "得分 N" large at the top, "最高分 M" below it, then the lines'
// rows in a centred column, as many as fit; a last row says how many more there are when not
// all fit. A row's text is rowHeight × 0.7 pixels tall.
struct ScoreScreenLayout {
    PixelRect score;
    PixelRect best;
    PixelRect column; // where the rows go, from its top
    int rowHeight = 0;
    std::size_t rowsShown = 0; // of the lines' rows
    bool moreRow = false; // a row "另有 N 句" after them

    // Row index from the column's top; the row "另有 N 句" is the one after the lines shown.
    ScoreRowBoxes Row(std::size_t index) const;
};
ScoreScreenLayout LayOutScoreScreen(PixelRect box, std::size_t rows);
// "另有 5 句".
std::u16string MoreRowsText(std::size_t left);

} // namespace linlangok
