#include "core/lyrics/StageLayout.h"

#include "common/Translation.h"

#include <cmath>

namespace linlangok {

StageFrame ComposeStageFrame(StageLines lines, double position, std::u16string title, std::u16string credits)
{
    StageFrame frame;
    const std::optional<double> first = lines.firstLineTime;
    const bool linesNear = first && position >= *first - kStageCountdownDots;
    frame.showTitle = !title.empty() && position < kStageTitleSeconds && !linesNear;
    if (first && *first >= kStageCountdownIntro && linesNear && position < *first)
        frame.countdownDots = static_cast<int>(std::ceil(*first - position));
    frame.lines = std::move(lines);
    frame.title = std::move(title);
    frame.credits = std::move(credits);
    return frame;
}

std::u16string ComposeUpNextLine(const std::optional<StageUpNext>& next, double position, double length, bool playing)
{
    const bool songEnding = length > 0 && position >= length - kStageUpNextSeconds;
    if (!next || (playing && !songEnding))
        return {};
    if (next->singer.empty() && next->performer.empty())
        return Formatted(Tr("StageLayout", "下一首：%1"), {next->title});
    if (next->performer.empty())
        return Formatted(Tr("StageLayout", "下一首：%1（%2）"), {next->title, next->singer});
    if (next->singer.empty())
        return Formatted(Tr("StageLayout", "下一首：%1　演唱者：%2"), {next->title, next->performer});
    return Formatted(Tr("StageLayout", "下一首：%1（%2）　演唱者：%3"), {next->title, next->singer, next->performer});
}

} // namespace linlangok
