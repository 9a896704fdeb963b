#include "core/lyrics/LyricsLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace linlangok {

bool UseMidiLyricView(ESongKind songKind, bool idle)
{
    return songKind == ESongKind::Midi && !idle;
}

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    return static_cast<int>(std::clamp(truncated, static_cast<double>(std::numeric_limits<int>::min()),
        static_cast<double>(std::numeric_limits<int>::max())));
}

void CLyricScroll::Advance(int currentLine, bool lastLine, double duration, int lineHeight, bool playing)
{
    if (currentLine != m_rememberedLine && !lastLine) {
        m_offset = 0;
        m_step = duration > 0 ? static_cast<float>(lineHeight * 0.1 / duration) : 0.0f;
        m_rememberedLine = currentLine;
    }
    if (playing)
        m_offset += m_step;
}

void CLyricScroll::LimitOffset(float maximum)
{
    m_offset = std::min(m_offset, maximum);
}

VisibleLineRange VisibleLines(int clientHeight, int lineHeight, int currentLine, int lineCount, float offset)
{
    const double middle = clientHeight * 0.5;
    const int half = TruncateToInt(middle / lineHeight);
    VisibleLineRange range;
    range.base = TruncateToInt(middle - static_cast<double>(lineHeight) * currentLine - offset);
    range.first = std::max(0, currentLine - half - 1);
    range.last = std::min(lineCount - 1, currentLine + half + 1);
    return range;
}

} // namespace linlangok
