#pragma once

#include "core/lyrics/PitchLaneLayout.h"

#include <QColor>
#include <QRect>

#include <optional>
#include <string_view>

class QPainter;

// How the lyrics window and the stage view draw scoring, in the stage view's face. UI thread.
namespace linlangok {

// The pitch lane into rect: the notes of the view's span as bars (golden ones gold, freestyle
// ones faint, rap ones hatched), a line at "now", the singer's trace over them in kLaneHit and
// kLaneMiss, the score at the top left and the last line's word at the top right while it shows.
// The pitches span range, by default the range fitted to the view's notes.
void PaintPitchLane(
    QPainter& painter, const QRect& rect, const ScoringView& view, const std::optional<PitchRange>& range = {});

// The score screen into rect, once the view has a result: "得分 N" large, "最高分 M" below it,
// then each line's score and word, as many as fit. Without a result, only the background.
void PaintScoreScreen(QPainter& painter, const QRect& rect, const ScoringView& view);

// A line such as "本歌曲无评分数据", small and centred in rect.
void PaintLaneNotice(QPainter& painter, const QRect& rect, std::u16string_view notice);

// The height of the band a notice takes in a window of that client area, pixels.
int NoticeLineHeight(const QRect& client);

QColor ToQColor(RgbColour colour);
PixelRect ToPixelRect(const QRect& rect);
QRect ToQRect(const PixelRect& rect);

} // namespace linlangok
