#include "core/lyrics/MidiLyricView.h"

#include <algorithm>

namespace linlangok {

std::vector<MidiLyricLine> BuildMidiLyricLines(std::span<const ELyricBreak> breaks, int headerLines)
{
    const int count = static_cast<int>(breaks.size());
    const bool marked
        = std::any_of(breaks.begin(), breaks.end(), [](ELyricBreak mark) { return mark != ELyricBreak::None; });
    // Where the lines of kSyllablesPerLine syllables end: the whole list, or the header in a marked one.
    const int grouped = marked ? std::clamp(headerLines, 0, count / kSyllablesPerLine) * kSyllablesPerLine : count;
    std::vector<MidiLyricLine> lines;
    for (int first = 0; first < grouped; first += kSyllablesPerLine)
        lines.push_back({first, std::min(first + kSyllablesPerLine, grouped)});
    int first = grouped;
    for (int i = grouped + 1; i <= count; ++i) {
        if (i < count && breaks[i] == ELyricBreak::None)
            continue;
        lines.push_back({first, i});
        if (i < count && breaks[i] == ELyricBreak::Paragraph)
            lines.push_back({i, i});
        first = i;
    }
    return lines;
}

std::vector<double> SungLineStarts(const CMidiTrack& track)
{
    const auto& syllables = track.Syllables();
    std::vector<ELyricBreak> breaks(syllables.size());
    std::transform(syllables.begin(), syllables.end(), breaks.begin(),
        [](const LyricSyllable& syllable) { return syllable.breakBefore; });
    const std::vector<MidiLyricLine> lines = BuildMidiLyricLines(breaks, track.HeaderLines());
    std::vector<double> starts;
    for (size_t line = std::max<std::int32_t>(track.HeaderLines(), 0); line < lines.size(); ++line) {
        if (lines[line].end > lines[line].first)
            starts.push_back(syllables[size_t(lines[line].first)].time);
    }
    return starts;
}

int FindMidiLine(std::span<const float> times, std::span<const MidiLyricLine> lines, double t)
{
    const int count = static_cast<int>(lines.size());
    if (count == 0 || t < times[lines[0].first])
        return 0;
    for (int line = 0; line + 1 < count; ++line) {
        if (times[lines[line].first] <= t && t < times[lines[line + 1].first])
            return line;
    }
    return count - 1;
}

int FindSungSyllable(std::span<const float> times, const MidiLyricLine& line, double t)
{
    return FindSungItem(line.first, line.end, t, [&](int i) { return static_cast<double>(times[i]); });
}

StageLines CMidiLyricView::Stage(const LyricsPaintInput& input) const
{
    StageLines stage;
    const int first = LineWithSyllables(m_headerLines);
    if (first == LineCount())
        return stage;
    const int current = LineWithSyllables(std::max(FindMidiLine(m_times, m_lines, input.position), first));
    if (current == LineCount())
        return stage;
    const MidiLyricLine& syllables = m_lines[current];
    const int sung = FindSungSyllable(m_times, syllables, input.position);
    stage.sung = JoinedText(syllables.first, sung);
    stage.rest = JoinedText(std::max(sung + 1, syllables.first), syllables.end - 1);
    const int next = LineWithSyllables(current + 1);
    if (next < LineCount())
        stage.next = LineText(next);
    stage.firstLineTime = m_times[m_lines[first].first];
    return stage;
}

int CMidiLyricView::LineWithSyllables(int line) const
{
    while (line < LineCount() && m_lines[line].first == m_lines[line].end)
        ++line;
    return line;
}

void CMidiLyricView::ClearSource()
{
    ReplaceSource({}, {}, {}, 0);
}

void CMidiLyricView::ReplaceSource(
    std::vector<float> times, std::vector<std::u16string> texts, std::span<const ELyricBreak> breaks, int headerLines)
{
    m_times = std::move(times);
    m_texts = std::move(texts);
    m_lines = BuildMidiLyricLines(breaks, headerLines);
    m_headerLines = headerLines;
}

std::u16string CMidiLyricView::JoinedText(int first, int last) const
{
    std::u16string text;
    for (int i = std::max(first, 0); i <= last && i < static_cast<int>(m_texts.size()); ++i)
        text += m_texts[i];
    return text;
}

std::u16string CMidiLyricView::LineText(int line) const
{
    return JoinedText(m_lines[line].first, m_lines[line].end - 1);
}

void CMidiLyricView::Advance(const LyricsPaintInput& input)
{
    const int lines = LineCount();
    if (lines == 0)
        return;
    const int current = FindMidiLine(m_times, m_lines, input.position);
    const bool lastLine = current == lines - 1;
    const double duration
        = lastLine ? 0.0 : static_cast<double>(m_times[m_lines[current + 1].first]) - m_times[m_lines[current].first];
    m_scroll.Advance(current, lastLine, duration, kLyricLineHeight, input.playing);
}

LyricFrame CMidiLyricView::Layout(const LyricsPaintInput& input) const
{
    LyricFrame frame;
    const int lines = LineCount();
    if (lines == 0)
        return frame;
    const double t = input.position;
    const int current = FindMidiLine(m_times, m_lines, t);
    const VisibleLineRange range
        = VisibleLines(input.clientHeight, kLyricLineHeight, current, lines, m_scroll.Offset());
    for (int line = range.first; line <= range.last; ++line) {
        const int top = TruncateToInt(static_cast<double>(kLyricLineHeight) * line + range.base);
        if (line == current) {
            const MidiLyricLine& syllables = m_lines[current];
            const int sung = FindSungSyllable(m_times, syllables, t);
            frame.current = KaraokeLine {line, top, JoinedText(syllables.first, sung),
                JoinedText(std::max(sung + 1, syllables.first), syllables.end - 1)};
        } else {
            frame.lines.push_back({line, top, LineText(line), line < m_headerLines ? kMidiHeaderLine : kMidiOtherLine});
        }
    }
    return frame;
}

} // namespace linlangok
