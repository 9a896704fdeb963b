#pragma once

#include "core/lyrics/LyricsLayout.h"
#include "core/lyrics/StageLayout.h"
#include "midi/LyricTrackView.h"
#include "midi/MidiTrack.h"

#include <concepts>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// Anything that stands for one MIDI lyric syllable: its time in seconds from the start of the
// song, its text and the break it starts (the song model's LyricSyllable is one).
template <typename T>
concept LyricSyllableLike = requires(const T& syllable)
{
    {
        syllable.time
        } -> std::convertible_to<float>;
    {
        syllable.text
        } -> std::convertible_to<std::u16string_view>;
    {
        syllable.breakBefore
        } -> std::convertible_to<ELyricBreak>;
};

// One display line of the MIDI lyric view: syllables first to end − 1. The empty line that
// parts two paragraphs has none; its first is the next line's first syllable.
struct MidiLyricLine {
    int first = 0;
    int end = 0;

    bool operator==(const MidiLyricLine&) const = default;
};

// The display lines of a syllable list whose first headerLines × kSyllablesPerLine syllables are
// the header. Without any break, kSyllablesPerLine syllables to a line from the start. With
// breaks (a .kar song), the header keeps its lines of kSyllablesPerLine, the lyrics start on a
// new line, every syllable with a break starts one, and an empty line stands before every
// paragraph but the first.
std::vector<MidiLyricLine> BuildMidiLyricLines(std::span<const ELyricBreak> breaks, int headerLines);

// Where the sung lines of a lyric track start, in song seconds: every display line after the
// header's that holds a syllable, as the view shows them.
std::vector<double> SungLineStarts(const CMidiTrack& track);

// The current line at t seconds, given the syllable times (non-decreasing) and the lines: 0
// before the first syllable; line j when time[first of j] ≤ t < time[first of j + 1]; the last
// line otherwise. 0 without lines.
int FindMidiLine(std::span<const float> times, std::span<const MidiLyricLine> lines, double t);

// The syllable being sung in the line at t seconds: the first i of the line but its last with
// time[i] ≤ t < time[i + 1], else the line's last syllable; -1 before the line's first syllable
// and for a line without syllables. Never an index outside the line.
int FindSungSyllable(std::span<const float> times, const MidiLyricLine& line, double t);

// The MIDI lyric view of the lyrics show window without its drawing: the syllables of the
// song's lyric track in display lines (BuildMidiLyricLines), and the scroll state. The lyrics
// presenter owns it, and the window paints what Layout returns with a transparent text
// background; UI thread only.
class CMidiLyricView {
public:
    // Replaces the source with copies of the syllables' times, texts and breaks; headerLines is
    // the number of lines at the top that hold the title and credits.
    template <std::ranges::input_range Range>
    requires LyricSyllableLike<std::ranges::range_value_t<Range>>
    void SetSource(const Range& syllables, int headerLines)
    {
        std::vector<float> times;
        std::vector<std::u16string> texts;
        std::vector<ELyricBreak> breaks;
        for (const auto& syllable : syllables) {
            times.push_back(static_cast<float>(syllable.time));
            texts.emplace_back(std::u16string_view(syllable.text));
            breaks.push_back(syllable.breakBefore);
        }
        ReplaceSource(std::move(times), std::move(texts), breaks, headerLines);
    }

    void ClearSource();

    int LineCount() const { return static_cast<int>(m_lines.size()); }
    const std::vector<MidiLyricLine>& Lines() const { return m_lines; }

    // The syllables first to last (inclusive, clamped to the list) joined without separators.
    std::u16string JoinedText(int first, int last) const;
    // The text of a display line (0 to LineCount() − 1).
    std::u16string LineText(int line) const;

    const CLyricScroll& Scroll() const { return m_scroll; }

    // One frame of the 10 Hz timer: finds the current line and advances the scroll by one step
    // while playing. Nothing happens without syllables.
    void Advance(const LyricsPaintInput& input);

    // What to draw with the scroll as it stands: the current line split at the sung syllable and
    // the other visible lines. Changes nothing; nothing to draw without syllables.
    LyricFrame Layout(const LyricsPaintInput& input) const;

    // The lines the stage view shows at the input's position: the current lyric line split at the
    // sung syllable as Layout splits it, and the next one. The header lines (the stage shows the
    // title itself) and the empty lines between paragraphs are passed over.
    StageLines Stage(const LyricsPaintInput& input) const;

private:
    // The first line from line on that has syllables, or LineCount().
    int LineWithSyllables(int line) const;
    void ReplaceSource(std::vector<float> times, std::vector<std::u16string> texts, std::span<const ELyricBreak> breaks,
        int headerLines);

    std::vector<float> m_times; // seconds
    std::vector<std::u16string> m_texts;
    std::vector<MidiLyricLine> m_lines;
    int m_headerLines = 0;
    CLyricScroll m_scroll;
};

} // namespace linlangok
