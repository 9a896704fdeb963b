#include "core/lyrics/LyricsLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace linlangok {

bool UseMidiLyricView(ESongKind songKind, bool idle)
{
    return songKind == ESongKind::Midi && !idle;
}

std::vector<LyricRun> KaraokeRuns(
    std::u16string_view sung, std::u16string_view rest, int voice, const std::vector<TextSpan>& golden)
{
    const std::u16string text = std::u16string(sung) + std::u16string(rest);
    // The colour changes only where the sweep or a golden syllable starts or ends.
    std::vector<std::size_t> cuts {0, sung.size(), text.size()};
    for (const TextSpan& span : golden) {
        cuts.push_back(std::min(span.start, text.size()));
        cuts.push_back(std::min(span.end, text.size()));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<LyricRun> runs;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const std::size_t start = cuts[i];
        const bool sungPart = start < sung.size();
        const bool goldenPart = std::any_of(golden.begin(), golden.end(),
            [start](const TextSpan& span) { return span.start <= start && start < span.end; });
        RgbColour colour = voice == 1 ? kDuetRestPart : kMidiRestPart;
        if (goldenPart)
            colour = sungPart ? kGoldenSungPart : kGoldenRestPart;
        else if (sungPart)
            colour = kMidiSungPart;
        const std::u16string part = text.substr(start, cuts[i + 1] - start);
        if (!runs.empty() && runs.back().colour == colour)
            runs.back().text += part;
        else
            runs.push_back({part, colour});
    }
    return runs;
}

RgbColour OtherLineColour(int voice)
{
    return voice == 1 ? kDuetOtherLine : kLrcOtherLine;
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
