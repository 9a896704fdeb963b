#pragma once

#include "core/picture/SongPicture.h"

#include <QRect>

class QPainter;

namespace linlangok {

// Paints a song's picture into the rectangle on black, placed as FitPicture says: a video picture
// smoothly scaled, a pixel-art one by nearest neighbour. The frame's pixels are drawn in place.
void PaintSongFrame(QPainter& painter, const QRect& area, const SongFrame& frame);

} // namespace linlangok
