#pragma once

#include "core/scoring/Melody.h"
#include "core/scoring/SingingScore.h"

#include <optional>
#include <string>
#include <vector>

namespace linlangok {

// The span of the song the pitch lane shows around the moment heard now, in song seconds.
inline constexpr double kLanePastSeconds = 1.0;
inline constexpr double kLaneAheadSeconds = 4.0;
// How long a line's word stays after the line has ended.
inline constexpr double kLineWordSeconds = 2.0;

// One pitch of the singer's trace: the song time it was sung for, the pitch moved by whole octaves
// next to the melody's note there (octaves do not count, so the trace is drawn where it scores),
// and whether it hit that note.
struct TracePoint {
    double seconds = 0;
    float pitch = 0;
    bool hit = false;

    bool operator==(const TracePoint&) const = default;
};

// What the pitch lane and the score screen draw at one moment of a scored song.
struct ScoringView {
    double now = 0; // song seconds heard now
    std::vector<MelodyNote> notes; // those that sound within the lane's span
    std::vector<TracePoint> trace; // what was sung within the lane's span, in time order
    int runningScore = 0; // 0..100
    // A duet's second voice's score, running or the song's once there is a result.
    std::optional<int> secondVoiceScore;
    std::optional<LineScore> lastLine; // the line that ended last, for kLineWordSeconds
    std::optional<SongScore> result; // once the song has ended: the score screen
    std::optional<int> bestScore; // the best this song has had, this run's included
};

// Where the lyrics window and the stage view read what to draw. UI thread.
class IScoringViewSource {
public:
    virtual ~IScoringViewSource() = default;
    // Nothing when no scored song plays or has just ended (评分 off, a song without a reference).
    virtual std::optional<ScoringView> View() const = 0;
    // A line for the user in place of the lane, such as "本歌曲无评分数据"; empty for none.
    virtual std::u16string Notice() const = 0;
};

} // namespace linlangok
