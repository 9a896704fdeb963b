#include "core/picture/PictureFit.h"

#include <algorithm>
#include <cmath>

namespace linlangok {

PicturePlace FitPicture(const SongFrame& frame, int areaWidth, int areaHeight)
{
    if (frame.width <= 0 || frame.height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {};
    double width = 0.0;
    double height = 0.0;
    const int multiple = std::min(areaWidth / frame.width, areaHeight / frame.height);
    if (frame.pixelArt && multiple >= 1) {
        width = frame.width * multiple;
        height = frame.height * multiple;
    } else {
        const double aspect = !frame.pixelArt && frame.displayAspect > 0.0
            ? frame.displayAspect
            : static_cast<double>(frame.width) / frame.height;
        width = std::min<double>(areaWidth, areaHeight * aspect);
        height = std::min<double>(areaHeight, width / aspect);
    }
    PicturePlace place;
    place.width = std::max(1, static_cast<int>(std::lround(width)));
    place.height = std::max(1, static_cast<int>(std::lround(height)));
    place.x = (areaWidth - place.width) / 2;
    place.y = (areaHeight - place.height) / 2;
    return place;
}

} // namespace linlangok
