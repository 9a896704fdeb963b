#include "lyrics/LrcLyricView.h"

#include <algorithm>
#include <cstdint>

namespace linlangok {
namespace {

// With the idle lines and no lyric file the hyphen line stays in the middle.
constexpr int kIdleCurrentLine = 2;
constexpr int kLineEndingSeconds = 2;

} // namespace

int FindCurrentLine(std::span<const LyricLine> lines, int t)
{
    if (lines.empty() || t <= 0 || t < lines.front().time)
        return 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].time <= t && t < lines[i + 1].time)
            return static_cast<int>(i);
    }
    return static_cast<int>(lines.size()) - 1;
}

CLrcLyricView::CLrcLyricView(const ICodePage& codePage)
    : m_codePage(codePage)
{
}

void CLrcLyricView::Load(const std::filesystem::path& path)
{
    m_lines.clear();
    if (path.empty()) {
        ShowIdle();
        return;
    }
    if (auto lines = ReadLrcFile(path, m_codePage, kLyricLineHeight)) {
        m_lines = std::move(*lines);
        m_scroll.ResetOffset();
    }
}

void CLrcLyricView::ShowIdle()
{
    m_lines = IdleLyricLines(kLyricLineHeight);
    m_scroll.ResetOffset();
}

std::vector<LyricTextLine> CLrcLyricView::Layout(const LyricsPaintInput& input)
{
    std::vector<LyricTextLine> drawn;
    if (m_lines.empty())
        return drawn;
    const int count = static_cast<int>(m_lines.size());
    const int t = TruncateToInt(input.position);
    int current = FindCurrentLine(m_lines, t);
    if (input.lyricPathEmpty)
        current = std::min(kIdleCurrentLine, count - 1);
    const bool lastLine = current == count - 1;
    // Seconds until the next line starts; 64-bit because times span the whole int range.
    const std::int64_t untilNext = lastLine ? 0 : std::int64_t {m_lines[current + 1].time} - t;
    const std::int64_t duration = lastLine ? 0 : std::int64_t {m_lines[current + 1].time} - m_lines[current].time;

    m_scroll.Advance(current, lastLine, static_cast<double>(duration), kLyricLineHeight, input.playing);
    if (input.idle)
        m_scroll.LimitOffset(kIdleScrollLimit);

    const VisibleLineRange range
        = VisibleLines(input.clientHeight, kLyricLineHeight, current, count, m_scroll.Offset());
    for (int i = range.first; i <= range.last; ++i) {
        RgbColour colour = kLrcOtherLine;
        if (i == current)
            colour = !lastLine && untilNext < kLineEndingSeconds ? kLrcCurrentLineEnding : kLrcCurrentLine;
        drawn.push_back({i, TruncateToInt(static_cast<double>(m_lines[i].y) + range.base), m_lines[i].text, colour});
    }
    return drawn;
}

} // namespace linlangok
