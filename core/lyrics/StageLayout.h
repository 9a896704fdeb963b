#pragma once

#include <optional>
#include <string>

// What the stage view shows, computed without a window: the current line with its sweep, the next
// line, the song's title at the start and a countdown before the first line. UI thread.
namespace linlangok {

// The two lines as a lyric view gives them.
struct StageLines {
    std::u16string sung; // the current line's sung part
    std::u16string rest; // and the rest of it; a line that is not swept is all rest
    std::u16string next;
    std::optional<double> firstLineTime; // seconds from the start; none without lines

    bool operator==(const StageLines&) const = default;
};

inline constexpr double kStageTitleSeconds = 5.0; // the title shows this long at most
inline constexpr double kStageCountdownIntro = 5.0; // an intro this long or longer counts down
inline constexpr int kStageCountdownDots = 3; // one dot a second before the first line

struct StageFrame {
    StageLines lines;
    std::u16string title; // shown instead of the lines when showTitle is set
    std::u16string credits;
    bool showTitle = false;
    int countdownDots = 0; // 0: no countdown

    bool operator==(const StageFrame&) const = default;
};

// The frame at position seconds. The title shows during the first seconds until the first line
// comes near (the countdown's time before it); a song without a title shows its lines at once.
// After an intro of kStageCountdownIntro seconds or more, the last kStageCountdownDots seconds
// before the first line show one dot for each second left.
StageFrame ComposeStageFrame(StageLines lines, double position, std::u16string title, std::u16string credits);

} // namespace linlangok
