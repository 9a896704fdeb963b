#pragma once

#include "core/lyrics/LyricsLayout.h"

#include <optional>
#include <string>
#include <vector>

// What the stage view shows, computed without a window: the current line with its sweep, the next
// line, the song's title at the start, a countdown before the first line and the next song near the
// end. UI thread.
namespace linlangok {

// The two lines as a lyric view gives them.
struct StageLines {
    std::u16string sung; // the current line's sung part
    std::u16string rest; // and the rest of it; a line that is not swept is all rest
    std::u16string next;
    std::optional<double> firstLineTime; // seconds from the start; none without lines
    int voice = 0; // of the current line (LyricLine::voice)
    std::vector<TextSpan> golden {}; // the golden syllables in sung + rest
    int nextVoice = 0;
    // A duet's line of the other voice, begun before the current one and still being sung.
    std::optional<KaraokeLine> other {};

    bool operator==(const StageLines&) const = default;
};

inline constexpr double kStageTitleSeconds = 5.0; // the title shows this long at most
inline constexpr double kStageCountdownIntro = 5.0; // an intro this long or longer counts down
inline constexpr int kStageCountdownDots = 3; // one dot a second before the first line
inline constexpr double kStageUpNextSeconds = 15.0; // the next song is named in a song's last seconds
inline constexpr RgbColour kStageUpNext {255, 192, 0};

// The queued song that follows the one being sung.
struct StageUpNext {
    std::u16string title;
    std::u16string singer; // the artist
    std::u16string performer; // who sings it; empty when nobody said
};

struct StageFrame {
    StageLines lines;
    std::u16string title; // shown instead of the lines when showTitle is set
    std::u16string credits;
    bool showTitle = false;
    int countdownDots = 0; // 0: no countdown
    std::u16string upNext; // the line naming the next song, at the foot of the view; empty: none

    bool operator==(const StageFrame&) const = default;
};

// The frame at position seconds. The title shows during the first seconds until the first line
// comes near (the countdown's time before it); a song without a title shows its lines at once.
// After an intro of kStageCountdownIntro seconds or more, the last kStageCountdownDots seconds
// before the first line show one dot for each second left.
StageFrame ComposeStageFrame(StageLines lines, double position, std::u16string title, std::u16string credits);

// The line naming the next song ("下一首：TITLE（SINGER）　演唱者：PERFORMER", the parts in brackets
// when known) while nothing plays and in the last kStageUpNextSeconds of a song whose length (whole
// seconds) is known; empty otherwise and when nothing is queued.
std::u16string ComposeUpNextLine(const std::optional<StageUpNext>& next, double position, double length, bool playing);

} // namespace linlangok
