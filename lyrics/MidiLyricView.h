#pragma once

#include "lyrics/LyricsLayout.h"
#include "midi/LyricTrackView.h"

#include <concepts>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// Anything that stands for one MIDI lyric syllable: its time in seconds from the start of the
// song and its text (the song model's LyricSyllable is one).
template <typename T>
concept LyricSyllableLike = requires(const T& syllable)
{
    {
        syllable.time
        } -> std::convertible_to<float>;
    {
        syllable.text
        } -> std::convertible_to<std::u16string_view>;
};

// Lines of syllableCount syllables, kSyllablesPerLine to a line.
int MidiLyricLineCount(std::size_t syllableCount);

// The current line at t seconds, given the syllable times (non-decreasing): 0 before the first
// syllable; line j when time[j·S] ≤ t < time[min((j+1)·S, N−1)]; the last line otherwise.
// 0 without syllables.
int FindMidiLine(std::span<const float> times, double t);

// The syllable being sung in the line at t seconds: the first i of the line with
// time[i] ≤ t < time[i + 1]; the line's last syllable when t is past them all; -1 before the
// line's first syllable. Never an index outside the line.
int FindSungSyllable(std::span<const float> times, int line, double t);

// The current line split karaoke-style: the sung part (drawn in kMidiSungPart) then the rest
// (kMidiRestPart), together centred horizontally, left-aligned one after the other, in a
// rectangle of one line height at top.
struct KaraokeLine {
    int line = 0;
    int top = 0;
    std::u16string sung;
    std::u16string rest;

    bool operator==(const KaraokeLine&) const = default;
};

struct MidiLyricFrame {
    std::vector<LyricTextLine> lines; // the visible lines other than the current one
    std::optional<KaraokeLine> current;
};

// The MIDI lyric view of the lyrics show window without its drawing: the syllables of the
// song's lyric track, grouped kSyllablesPerLine to a line, and the scroll state. The window owns
// it and paints what Layout returns with a transparent text background; UI thread only.
class CMidiLyricView {
public:
    // Replaces the source with copies of the syllables' times and texts; headerLines is the
    // number of lines at the top that hold the title and credits.
    template <std::ranges::input_range Range>
    requires LyricSyllableLike<std::ranges::range_value_t<Range>>
    void SetSource(const Range& syllables, int headerLines)
    {
        std::vector<float> times;
        std::vector<std::u16string> texts;
        for (const auto& syllable : syllables) {
            times.push_back(static_cast<float>(syllable.time));
            texts.emplace_back(std::u16string_view(syllable.text));
        }
        ReplaceSource(std::move(times), std::move(texts), headerLines);
    }

    void ClearSource();

    int LineCount() const { return MidiLyricLineCount(m_times.size()); }
    int HeaderLineCount() const { return m_headerLines; }

    // The syllables first to last (inclusive, clamped to the list) joined without separators.
    std::u16string JoinedText(int first, int last) const;
    std::u16string LineText(int line) const;

    const CLyricScroll& Scroll() const { return m_scroll; }

    // One frame of the 10 Hz timer: finds the current line and advances the scroll by one step
    // while playing. Nothing happens without syllables.
    void Advance(const LyricsPaintInput& input);

    // What to draw with the scroll as it stands: the current line split at the sung syllable and
    // the other visible lines. Changes nothing; nothing to draw without syllables.
    MidiLyricFrame Layout(const LyricsPaintInput& input) const;

private:
    void ReplaceSource(std::vector<float> times, std::vector<std::u16string> texts, int headerLines);

    std::vector<float> m_times; // seconds
    std::vector<std::u16string> m_texts;
    int m_headerLines = 0;
    CLyricScroll m_scroll;
};

} // namespace linlangok
