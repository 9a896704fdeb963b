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

} // namespace linlangok
