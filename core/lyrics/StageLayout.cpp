#include "core/lyrics/StageLayout.h"

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
    std::u16string line = u"下一首：" + next->title;
    if (!next->singer.empty())
        line += u"（" + next->singer + u"）";
    if (!next->performer.empty())
        line += u"　演唱者：" + next->performer;
    return line;
}

} // namespace linlangok
