#pragma once

#include "common/SongKind.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the lyrics show window needs to paint, computed without a window: colours, the smooth
// scroll shared by both views, and the range of lines that can be visible. All on the UI thread.
namespace linlangok {

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const RgbColour&) const = default;
};

inline constexpr RgbColour kLyricBackground {0, 0, 0};
inline constexpr RgbColour kLrcOtherLine {0, 128, 192};
inline constexpr RgbColour kLrcCurrentLine {255, 255, 255};
inline constexpr RgbColour kLrcCurrentLineEnding {64, 192, 64}; // the next line starts within 2 s
inline constexpr RgbColour kMidiHeaderLine {255, 255, 255};
inline constexpr RgbColour kMidiOtherLine {0, 128, 192};
// The current line split karaoke-style, in the MIDI view and for a word-timed LRC line alike.
inline constexpr RgbColour kMidiSungPart {255, 0, 0};
inline constexpr RgbColour kMidiRestPart {255, 255, 255};
// The second voice of a duet: its other lines, and the rest of its current line.
inline constexpr RgbColour kDuetOtherLine {0, 192, 176};
inline constexpr RgbColour kDuetRestPart {150, 235, 255};
// A golden syllable of the current line, before and after it is sung.
inline constexpr RgbColour kGoldenRestPart {255, 215, 0};
inline constexpr RgbColour kGoldenSungPart {255, 140, 0};

inline constexpr int kLyricLineHeight = 26; // pixels
inline constexpr float kLyricInitialScrollStep = 0.1f; // pixels per paint
inline constexpr float kIdleScrollLimit = 60.0f; // pixels

// What one frame reads from the session and the main window, and the client height it is drawn in.
struct LyricsPaintInput {
    double position = 0; // the session's playback position, seconds
    int clientHeight = 0; // pixels
    bool playing = false; // the main window's playing flag
    bool idle = false; // the session's idle flag
    bool lyricPathEmpty = true; // the session's lyric path is empty
};

// One line of text to draw: a rectangle of one line height and the client's full width at top
// (pixels from the client's top, may be negative), the text centred horizontally in it.
struct LyricTextLine {
    int line = 0; // index of the line in its view
    int top = 0;
    std::u16string text;
    RgbColour colour;

    bool operator==(const LyricTextLine&) const = default;
};

// Characters [start, end) of a text, in UTF-16 units.
struct TextSpan {
    std::size_t start = 0;
    std::size_t end = 0;

    bool operator==(const TextSpan&) const = default;
};

// The current line split karaoke-style: the sung part then the rest, together centred
// horizontally, left-aligned one after the other, in a rectangle of one line height at top, in
// the colours KaraokeRuns gives.
struct KaraokeLine {
    int line = 0;
    int top = 0;
    std::u16string sung;
    std::u16string rest;
    int voice = 0; // of the line (LyricLine::voice)
    std::vector<TextSpan> golden {}; // the golden syllables in sung + rest, in order

    bool operator==(const KaraokeLine&) const = default;
};

// Text in one colour.
struct LyricRun {
    std::u16string text;
    RgbColour colour;

    bool operator==(const LyricRun&) const = default;
};

// A split line as runs to draw one after the other: the sung part in kMidiSungPart, the rest in
// kMidiRestPart (kDuetRestPart for the second voice), golden syllables in kGoldenSungPart and
// kGoldenRestPart. Neighbours of one colour are one run; no run is empty.
std::vector<LyricRun> KaraokeRuns(
    std::u16string_view sung, std::u16string_view rest, int voice, const std::vector<TextSpan>& golden);

// The colour of a line that is not current, by its voice.
RgbColour OtherLineColour(int voice);

// What a view draws in one paint: its visible lines, the current one among them unless it is
// split karaoke-style.
struct LyricFrame {
    std::vector<LyricTextLine> lines;
    std::optional<KaraokeLine> current;
};

// The item being sung at t among items first to end − 1 whose start times timeOf(i) gives:
// the first i with time(i) ≤ t < time(i + 1); the last item when t is past them all; -1
// before the first item and when there is none.
template <typename TimeOf> int FindSungItem(int first, int end, double t, TimeOf timeOf)
{
    if (first >= end || t < timeOf(first))
        return -1;
    for (int i = first; i + 1 < end; ++i) {
        if (timeOf(i) <= t && t < timeOf(i + 1))
            return i;
    }
    return end - 1;
}

// Whether the window draws the MIDI lyric view (a MIDI song that is not idle) or the LRC view.
bool UseMidiLyricView(ESongKind songKind, bool idle);

// Truncates toward zero; values beyond the int range are clamped to it, NaN gives 0.
int TruncateToInt(double value);

// The scroll state of one view: the text moves up by step pixels per paint while the song
// plays, so that one line height passes over the current line's duration at ten paints a
// second. The remembered line is per view and survives song changes.
class CLyricScroll {
public:
    // One paint with the current line. When the line differs from the remembered one and is not
    // the last line, the offset restarts at 0 and the step becomes lineHeight × 0.1 / duration
    // (seconds until the next line starts; no scrolling when that is not positive). While
    // playing, the step is then added to the offset.
    void Advance(int currentLine, bool lastLine, double duration, int lineHeight, bool playing);

    void ResetOffset() { m_offset = 0; }
    void LimitOffset(float maximum);

    float Offset() const { return m_offset; }
    float Step() const { return m_step; }

private:
    float m_offset = 0;
    float m_step = kLyricInitialScrollStep;
    int m_rememberedLine = 0;
};

// The lines that can be visible around the current one, first to last inclusive (none when
// first > last), and the base: line i's top is its sheet position (i × line height) plus base,
// which puts the current line in the vertical middle, raised by the scroll offset.
struct VisibleLineRange {
    int first = 0;
    int last = -1;
    int base = 0;
};

VisibleLineRange VisibleLines(int clientHeight, int lineHeight, int currentLine, int lineCount, float offset);

} // namespace linlangok
