#pragma once

#include "core/picture/SongPicture.h"

namespace linlangok {

// Where a picture is drawn in an area, in the area's pixels; the rest of the area is the black
// letterbox.
struct PicturePlace {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PicturePlace&) const = default;
};

// As large as fits, centred: a video picture at its display aspect (its own when it has none); a
// pixel-art picture at the largest whole multiple of its size that fits, or, in an area smaller
// than the picture, as large as fits at its own aspect. Nothing for an empty frame or area.
PicturePlace FitPicture(const SongFrame& frame, int areaWidth, int areaHeight);

} // namespace linlangok
