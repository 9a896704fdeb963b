#include "lyrics/MidiLyricView.h"

#include <algorithm>

namespace linlangok {

int MidiLyricLineCount(std::size_t syllableCount)
{
    return static_cast<int>((syllableCount + kSyllablesPerLine - 1) / kSyllablesPerLine);
}

int FindMidiLine(std::span<const float> times, double t)
{
    const int count = static_cast<int>(times.size());
    const int lines = MidiLyricLineCount(times.size());
    if (count == 0 || t < times[0])
        return 0;
    for (int line = 0; line < lines; ++line) {
        const int end = std::min((line + 1) * kSyllablesPerLine, count - 1);
        if (times[line * kSyllablesPerLine] <= t && t < times[end])
            return line;
        if (end == count - 1)
            break;
    }
    return lines - 1;
}

int FindSungSyllable(std::span<const float> times, int line, double t)
{
    const int count = static_cast<int>(times.size());
    const int first = line * kSyllablesPerLine;
    if (first < 0 || first >= count || t < times[first])
        return -1;
    const int end = std::min(first + kSyllablesPerLine, count - 1);
    for (int i = first; i < end; ++i) {
        if (times[i] <= t && t < times[i + 1])
            return i;
    }
    return std::min(first + kSyllablesPerLine, count) - 1;
}

void CMidiLyricView::ClearSource()
{
    ReplaceSource({}, {}, 0);
}

void CMidiLyricView::ReplaceSource(std::vector<float> times, std::vector<std::u16string> texts, int headerLines)
{
    m_times = std::move(times);
    m_texts = std::move(texts);
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
    return JoinedText(line * kSyllablesPerLine, (line + 1) * kSyllablesPerLine - 1);
}

void CMidiLyricView::Advance(const LyricsPaintInput& input)
{
    const int lines = LineCount();
    if (lines == 0)
        return;
    const int current = FindMidiLine(m_times, input.position);
    const bool lastLine = current == lines - 1;
    const int first = current * kSyllablesPerLine;
    const double duration = lastLine ? 0.0 : static_cast<double>(m_times[first + kSyllablesPerLine]) - m_times[first];
    m_scroll.Advance(current, lastLine, duration, kLyricLineHeight, input.playing);
}

MidiLyricFrame CMidiLyricView::Layout(const LyricsPaintInput& input) const
{
    MidiLyricFrame frame;
    const int lines = LineCount();
    if (lines == 0)
        return frame;
    const double t = input.position;
    const int current = FindMidiLine(m_times, t);
    const VisibleLineRange range
        = VisibleLines(input.clientHeight, kLyricLineHeight, current, lines, m_scroll.Offset());
    for (int line = range.first; line <= range.last; ++line) {
        const int top = TruncateToInt(static_cast<double>(kLyricLineHeight) * line + range.base);
        if (line == current) {
            const int first = current * kSyllablesPerLine;
            const int sung = FindSungSyllable(m_times, current, t);
            frame.current = KaraokeLine {line, top, JoinedText(first, sung),
                JoinedText(std::max(sung + 1, first), first + kSyllablesPerLine - 1)};
        } else {
            frame.lines.push_back({line, top, LineText(line), line < m_headerLines ? kMidiHeaderLine : kMidiOtherLine});
        }
    }
    return frame;
}

} // namespace linlangok
