#pragma once

#include "core/lyrics/LrcParser.h"
#include "core/lyrics/LyricsLayout.h"
#include "core/lyrics/StageLayout.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace linlangok {

// The line shown as current at t whole seconds: 0 when t ≤ 0 or before the first line; else
// the first i with time[i] ≤ t < time[i + 1]; else the last line (so of several lines with the
// same time, the last one). 0 for an empty list.
int FindCurrentLine(std::span<const LyricLine> lines, int t);

// The LRC lyric view of the lyrics show window without its drawing: the timed lines of an LRC
// file or the idle lines, and the scroll state. The lyrics presenter owns it, and the window
// paints what Layout returns; everything runs on the UI thread. LRC text in the legacy code page is read with
// codePage, which the owner keeps alive for the view's lifetime.
class CLrcLyricView {
public:
    explicit CLrcLyricView(const ICodePage& codePage);

    // Replaces the lines with those of the LRC file at path (see ReadLrcFile, which takes the
    // detector) and resets the scroll offset. An empty path shows the idle lines. A file that
    // cannot be opened leaves the view empty and the scroll state as it was; nothing is reported.
    void Load(const std::filesystem::path& path, const ITextEncodingDetector& detector = NoEncodingDetection());

    // Replaces the lines with the five idle lines and resets the scroll offset.
    void ShowIdle();

    const std::vector<LyricLine>& Lines() const { return m_lines; }
    const CLyricScroll& Scroll() const { return m_scroll; }

    // One frame of the 10 Hz timer: finds the current line and advances the scroll by one step
    // while playing. Nothing happens while the view is empty.
    void Advance(const LyricsPaintInput& input);

    // The lines to draw with the scroll as it stands, in order, each centred with an opaque black
    // background; nothing when the view is empty. A word-timed current line is split
    // karaoke-style at the word being sung at the exact position, as the MIDI view splits its
    // line; any other line is whole, in OtherLineColour of its voice unless current. Changes nothing, so every paint of
    // the same frame shows the same picture.
    LyricFrame Layout(const LyricsPaintInput& input) const;

    // The lines the stage view shows at the input's position: the current line (a word-timed one
    // split as Layout splits it) and the next one; in a duet also the other voice's line that
    // began before the current one while it is still sung, split alike.
    StageLines Stage(const LyricsPaintInput& input) const;

private:
    // The current line at the input's position and the whole seconds that matter for it.
    struct LineTiming {
        int line = 0;
        bool last = false;
        std::int64_t untilNext = 0; // until the next line starts (0 for the last line)
        std::int64_t duration = 0; // from this line's start to the next one's
    };

    // Only for a view with lines.
    LineTiming CurrentLine(const LyricsPaintInput& input) const;
    // The nearest line before current of another voice when its last word (the line's end) is
    // still to come at position (seconds); -1 for none.
    int OtherVoiceLine(int current, double position) const;

    const ICodePage& m_codePage;
    std::vector<LyricLine> m_lines;
    CLyricScroll m_scroll;
};

} // namespace linlangok
